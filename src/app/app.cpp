#include "app/app.h"

#include "app/debug_server.h"
#include "app/exception.h"

int runGlimmertide(int, char**) {
    DebugServer log(11, 0);
    installDebugServer(log);
    ExceptionServer exceptions(log);
    log.setThreshold(0);
    try {
        raise(errors::couldntReadMetadata);
    } catch (const ExceptionType& error) {
        exceptions.report(error);
        return -1;
    }
}
