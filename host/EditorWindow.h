#pragma once

#include <memory>
#include <string>

typedef struct _XDisplay Display;

namespace vorpalix::host {

class PluginHost;

// A top-level X11 window holding a plug-in's editor, embedded as DAWs embed VST 2.4 editors on
// Linux: the window is sized from effEditGetRect, its XID goes to effEditOpen, and idle() pumps
// the window's events and calls effEditIdle (call it 30 to 60 times a second). The plug-in
// draws into a child window on its own X connection. Destroying the window sends effEditClose
// first. UI thread only, the thread that owns the host's dispatcher calls.
class EditorWindow {
public:
    // Opens the window titled `title` for the host's editor. Nothing, with a one-line message,
    // when the plug-in has no editor, no X display can be opened or the editor refuses to open.
    static std::unique_ptr<EditorWindow> open(PluginHost& host, const std::string& title,
                                              std::string& error);
    ~EditorWindow();
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // Handles the window's events and gives the editor its idle time.
    void idle();
    // The window manager's close button was pressed since the last call.
    bool takeCloseRequest();
    void show();
    void hide();
    bool visible() const { return visible_; }
    unsigned long windowId() const { return window_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    EditorWindow(PluginHost& host, Display* display) : host_(host), display_(display) {}
    void resize(int width, int height);
    void followSizeRequests();

    PluginHost& host_;
    Display* display_ = nullptr;
    unsigned long window_ = 0;
    unsigned long deleteAtom_ = 0;
    int width_ = 0;
    int height_ = 0;
    int sizeRequestsSeen_ = 0;
    bool visible_ = false;
    bool closeRequested_ = false;
    bool editorOpen_ = false;
};

} // namespace vorpalix::host
