#include "platform/progress_window.h"

#include <gtk/gtk.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "platform/message_box.h"

// Why a second toolkit on a second thread is safe here: GTK is used from this one thread only
// (created, run and torn down there), and it talks to the display over a connection of its own,
// apart from SDL's. SDL has already made Xlib thread-safe (XInitThreads) when its video started,
// and on Wayland each connection has its own queue. The two threads share nothing but the atomics
// and the mutex-guarded text of Shared below.
struct ProgressWindow::Shared {
    std::string fileName;
    std::atomic<int> percent{0};
    std::mutex detailMutex;
    std::string detail;  // guarded by detailMutex
    std::atomic<bool> closing{false};
    std::atomic<bool> confirmed{false};
    std::function<void()> onCancel;  // set before the thread starts, run on it
    std::thread thread;
};

namespace {

constexpr guint kRepaintMs = 100;  // ten times a second, whatever the frame loop is doing

// The widgets; they live on the window's thread only.
struct Widgets {
    ProgressWindow::Shared* shared = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* bar = nullptr;
    GtkWidget* detail = nullptr;
    GtkWidget* question = nullptr;  // "Really?" while it is open
    int shownPercent = -1;
    std::string shownDetail;
    long ticks = 0;
    int asked = 0;  // questions opened so far
    const char* probe = nullptr;  // GLIMMERTIDE_PROGRESS_PROBE: where tests read the window's state
};

void writeProbe(const Widgets& w) {
    if (!w.probe) return;
    // Written whole and renamed, so a reader never sees half a line.
    const std::string temporary = std::string(w.probe) + ".tmp";
    if (std::FILE* f = std::fopen(temporary.c_str(), "w")) {
        std::fprintf(f, "percent %d ticks %ld question %d asked %d\n", w.shownPercent, w.ticks, w.question ? 1 : 0,
                     w.asked);
        std::fclose(f);
        std::rename(temporary.c_str(), w.probe);
    }
}

void onAnswer(GtkDialog* dialog, gint response, gpointer data) {
    Widgets& w = *static_cast<Widgets*>(data);
    if (response == GTK_RESPONSE_YES && !w.shared->confirmed) {
        w.shared->confirmed = true;
        if (w.shared->onCancel) w.shared->onCancel();
    }
    gtk_widget_destroy(GTK_WIDGET(dialog));
    w.question = nullptr;
}

// Cancel and the close box both ask; a second request while the question is open only raises it.
void askToCancel(Widgets& w) {
    if (w.shared->confirmed) return;
    if (w.question) {
        gtk_window_present(GTK_WINDOW(w.question));
        return;
    }
    ++w.asked;
    // A dialog of our own rather than a message dialog: GTK 3 no longer shows a message
    // dialog's icon, and the question should carry one.
    w.question = gtk_dialog_new_with_buttons("", GTK_WINDOW(w.window),
                                             GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                             "_No", GTK_RESPONSE_NO, "_Yes", GTK_RESPONSE_YES, nullptr);
    gtk_window_set_resizable(GTK_WINDOW(w.question), FALSE);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    gtk_container_set_border_width(GTK_CONTAINER(row), 12);
    gtk_box_pack_start(GTK_BOX(row), gtk_image_new_from_icon_name("dialog-question", GTK_ICON_SIZE_DIALOG), FALSE,
                       FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), gtk_label_new("Really?"), FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(w.question))), row);
    gtk_widget_show_all(row);
    // Enter must not stop a recording by accident.
    gtk_dialog_set_default_response(GTK_DIALOG(w.question), GTK_RESPONSE_NO);
    g_signal_connect(w.question, "response", G_CALLBACK(onAnswer), &w);
    gtk_widget_show(w.question);
}

void onCancel(GtkButton*, gpointer data) { askToCancel(*static_cast<Widgets*>(data)); }

gboolean onClose(GtkWidget*, GdkEvent*, gpointer data) {
    askToCancel(*static_cast<Widgets*>(data));
    return TRUE;  // the window stays until the recording ends
}

// Something outside destroyed the window (not a close request): the recording goes on without it.
void onDestroyed(GtkWidget*, gpointer data) {
    Widgets& w = *static_cast<Widgets*>(data);
    w.window = w.bar = w.detail = w.question = nullptr;
    gtk_main_quit();
}

gboolean onTick(gpointer data) {
    Widgets& w = *static_cast<Widgets*>(data);
    ProgressWindow::Shared& s = *w.shared;
    if (s.closing || !w.window) {
        gtk_main_quit();
        return G_SOURCE_CONTINUE;  // removed with the window, after the loop
    }
    ++w.ticks;
    const int percent = s.percent;
    if (percent != w.shownPercent) {
        w.shownPercent = percent;
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(w.bar), percent / 100.0);
        const std::string text = std::to_string(percent) + " %";
        gtk_progress_bar_set_text(GTK_PROGRESS_BAR(w.bar), text.c_str());
    }
    {
        std::lock_guard<std::mutex> lock(s.detailMutex);
        if (s.detail != w.shownDetail) {
            w.shownDetail = s.detail;
            gtk_label_set_text(GTK_LABEL(w.detail), w.shownDetail.c_str());
        }
    }
    writeProbe(w);
    return G_SOURCE_CONTINUE;
}

GtkWidget* buildWindow(Widgets& w) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Rendering video...");
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    gtk_window_set_default_size(GTK_WINDOW(window), 480, -1);
    gtk_window_set_icon_name(GTK_WINDOW(window), "glimmertide");

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_container_set_border_width(GTK_CONTAINER(box), 14);
    gtk_container_add(GTK_CONTAINER(window), box);

    const std::string heading = "Recording " + w.shared->fileName;
    GtkWidget* file = gtk_label_new(heading.c_str());
    gtk_label_set_ellipsize(GTK_LABEL(file), PANGO_ELLIPSIZE_MIDDLE);
    gtk_label_set_xalign(GTK_LABEL(file), 0.0f);
    gtk_box_pack_start(GTK_BOX(box), file, FALSE, FALSE, 0);

    w.bar = gtk_progress_bar_new();
    gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(w.bar), TRUE);
    gtk_progress_bar_set_text(GTK_PROGRESS_BAR(w.bar), "0 %");
    gtk_box_pack_start(GTK_BOX(box), w.bar, FALSE, FALSE, 0);

    w.detail = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(w.detail), 0.0f);
    gtk_style_context_add_class(gtk_widget_get_style_context(w.detail), "dim-label");
    gtk_box_pack_start(GTK_BOX(box), w.detail, FALSE, FALSE, 0);

    GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_CENTER);
    GtkWidget* cancel = gtk_button_new_with_mnemonic("_Cancel");
    gtk_container_add(GTK_CONTAINER(buttons), cancel);
    gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 4);

    g_signal_connect(cancel, "clicked", G_CALLBACK(onCancel), &w);
    g_signal_connect(window, "delete-event", G_CALLBACK(onClose), &w);
    g_signal_connect(window, "destroy", G_CALLBACK(onDestroyed), &w);
    return window;
}

void runWindow(ProgressWindow::Shared& shared, std::promise<bool> opened) {
    // The toolkit must not change the process's locale: the main thread formats numbers and file
    // contents in the C locale.
    gtk_disable_setlocale();
    if (!gtk_init_check(nullptr, nullptr)) {
        opened.set_value(false);
        return;
    }
    Widgets w;
    w.shared = &shared;
    w.probe = std::getenv("GLIMMERTIDE_PROGRESS_PROBE");
    w.window = buildWindow(w);
    gtk_widget_show_all(w.window);
    const guint tick = g_timeout_add(kRepaintMs, onTick, &w);
    opened.set_value(true);
    gtk_main();
    g_source_remove(tick);
    if (w.window) {
        g_signal_handlers_disconnect_by_func(w.window, gpointer(onDestroyed), &w);
        gtk_widget_destroy(w.window);  // and the question with it
    }
    // Let the display see the windows go before the thread ends.
    while (gtk_events_pending()) gtk_main_iteration();
}

}  // namespace

std::unique_ptr<ProgressWindow> ProgressWindow::open(const std::string& fileName, std::function<void()> onCancel) {
    if (!boxesCanBeShown()) return nullptr;
    auto shared = std::make_unique<Shared>();
    shared->fileName = fileName;
    shared->onCancel = std::move(onCancel);
    std::promise<bool> opened;
    std::future<bool> result = opened.get_future();
    // The thread owns the promise: it is still inside set_value when get() may already return.
    shared->thread = std::thread(runWindow, std::ref(*shared), std::move(opened));
    if (!result.get()) {
        shared->thread.join();
        return nullptr;
    }
    return std::unique_ptr<ProgressWindow>(new ProgressWindow(std::move(shared)));
}

ProgressWindow::ProgressWindow(std::unique_ptr<Shared> shared) : shared_(std::move(shared)) {}

ProgressWindow::~ProgressWindow() {
    shared_->closing = true;
    if (shared_->thread.joinable()) shared_->thread.join();
}

void ProgressWindow::update(int percent, const std::string& detail) {
    shared_->percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    std::lock_guard<std::mutex> lock(shared_->detailMutex);
    shared_->detail = detail;
}
