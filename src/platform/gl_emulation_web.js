// Where emscripten's fixed-function emulation on WebGL answers differently from OpenGL 1.1 as the
// show uses it (a library linked into the browser build after emscripten's own, so these win).
mergeInto(LibraryManager.library, {
  // The emulation starts with a context made by emscripten's own SDL or GLUT; one made through the
  // html5 API starts it here. GL divides texture coordinates by q (the quad lines' coverage ramps
  // are projective); the emulation's generated shaders sampled at s and t alone.
  glimmer_start_gl_emulation__deps: ['$GLImmediate', '$GL'],
  glimmer_start_gl_emulation: function() {
    Module.useWebGL = true;
    GLImmediate.init();
    var shaderSource = GLctx.shaderSource;
    GLctx.shaderSource = function(shader, source) {
      source = source.replace(/texture2D\((u_texUnit\d+), (v_texCoord\d+)\.xy\)/g, 'texture2DProj($1, $2)');
      return shaderSource.call(this, shader, source);
    };
  },

  // Hints are only hints: WebGL knows one target and refuses the others with an error.
  glHint: function(target, mode) {
    if (target == 0x8192 /* GL_GENERATE_MIPMAP_HINT */) GLctx.hint(target, mode);
  },

  // Without a current context OpenGL answers NULL (the program asks before its window opens);
  // WebGL has no context to ask then.
  glGetString__deps: ['$stringToNewUTF8'],
  glGetString: function(name_) {
    if (!GLctx) return 0;
    var ret = GL.stringCache[name_];
    if (!ret) {
      var s = name_ == 0x1F03 /* GL_EXTENSIONS */ ? (GLctx.getSupportedExtensions() || []).join(' ')
                                                  : GLctx.getParameter(name_);
      ret = s ? stringToNewUTF8(String(s)) : 0;
      GL.stringCache[name_] = ret;
    }
    return ret;
  },

  // WebGL interpolates colours across a primitive, the only shading the show asks for.
  glShadeModel: function(mode) {},

  // WebGL has no smoothed lines to report a width range for; every other query as WebGL answers.
  glGetFloatv__deps: ['$emscriptenWebGLGet', '$GLImmediate'],
  glGetFloatv: function(name_, p) {
    if (name_ == 0x0B00 /* GL_CURRENT_COLOR */) {
      HEAPF32.set(GLImmediate.clientColor, p >> 2);
      return;
    }
    if (name_ == 0x0B03 /* GL_CURRENT_TEXTURE_COORDS */) {
      HEAPF32.set(GLImmediate.currentTexCoord || [0, 0, 0, 1], p >> 2);
      return;
    }
    if (name_ == 0x0B22 /* GL_LINE_WIDTH_RANGE */) {
      HEAPF32[p >> 2] = 1;
      HEAPF32[(p >> 2) + 1] = 1;
      return;
    }
    emscriptenWebGLGet(name_, p, {{{ cDefine('EM_FUNC_SIG_PARAM_F') }}});
  },

  // The current texture coordinate, likewise; the emulation takes them only between glBegin and glEnd.
  glTexCoord2f__deps: ['$GLImmediate'],
  glTexCoord2f: function(u, v) {
    if (GLImmediate.mode >= 0) {
      GLImmediate.vertexData[GLImmediate.vertexCounter++] = u;
      GLImmediate.vertexData[GLImmediate.vertexCounter++] = v;
      GLImmediate.addRendererComponent(GLImmediate.TEXTURE0, 2, GLctx.FLOAT);
    }
    GLImmediate.currentTexCoord = [u, v, 0, 1];
  },

  // OpenGL's current colour is the last one set, between glBegin and glEnd too; the emulation kept
  // only colours set outside. The show's untinted line field draws in the colour left current.
  glColor4f__deps: ['$GLImmediate'],
  glColor4f: function(r, g, b, a) {
    r = Math.max(Math.min(r, 1), 0);
    g = Math.max(Math.min(g, 1), 0);
    b = Math.max(Math.min(b, 1), 0);
    a = Math.max(Math.min(a, 1), 0);
    if (GLImmediate.mode >= 0) {
      var start = GLImmediate.vertexCounter << 2;
      GLImmediate.vertexDataU8[start + 0] = r * 255;
      GLImmediate.vertexDataU8[start + 1] = g * 255;
      GLImmediate.vertexDataU8[start + 2] = b * 255;
      GLImmediate.vertexDataU8[start + 3] = a * 255;
      GLImmediate.vertexCounter++;
      GLImmediate.addRendererComponent(GLImmediate.COLOR, 4, GLctx.UNSIGNED_BYTE);
    }
    GLImmediate.clientColor[0] = r;
    GLImmediate.clientColor[1] = g;
    GLImmediate.clientColor[2] = b;
    GLImmediate.clientColor[3] = a;
  },
});
