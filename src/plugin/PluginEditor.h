#pragma once

// The editor object as the plug-in sees it. The plug-in never includes the panel: it makes its
// editor object through an EditorFactory handed to it when it is created, and talks to it only
// through this interface. The panel provides the factory (panelEditorFactory); the module's
// entry point, which links the panel in, passes it on. The editor object lives as
// long as the plug-in; its window exists only while the host has the editor open.
//
// Threads: user-interface thread only.

#include <memory>

#include "plugin/AudioCommand.h"
#include "plugin/PanelScreenshot.h"

typedef struct _xmlNode xmlNode;

namespace vorpalix {

class PanelController;
class PatternEditing;

class PluginEditor {
public:
    virtual ~PluginEditor() = default;

    // The GUI element of the embedded settings document (the panel layout).
    virtual void setPanelDescription(const xmlNode* gui) = 0;
    // The edit state that documents read and write, or null.
    virtual PatternEditing* editing() = 0;
    // A report of the audio thread (after the plug-in brought its copies up to date).
    virtual void notify(const Notification& notification) = 0;
    // Playback reports were lost or the whole state changed (a chunk, a loaded file): every
    // display is to be redrawn from the current state.
    virtual void refreshDisplays() = 0;

    // The host's editor calls. Without a window the plug-in tells the host it has no editor.
    virtual bool hasWindow() const { return false; }
    // The window's size in pixels; false while there is none to report.
    virtual bool windowSize(int& width, int& height) const {
        (void)width;
        (void)height;
        return false;
    }
    // Opens the window inside the host's parent window (an X11 window id or a native handle).
    virtual bool open(void* parentWindow) {
        (void)parentWindow;
        return false;
    }
    virtual void close() {}
    // The host's idle call, after the plug-in took the audio thread's reports.
    virtual void idle() {}
    // Draws the panel without a window, after the request's clicks, into a PNG file. False when
    // there is no panel to draw, the window is open or the file could not be written.
    virtual bool writeScreenshot(const PanelScreenshotRequest& request) {
        (void)request;
        return false;
    }
};

// Makes the editor object of a plug-in; the editor keeps the controller for its life.
using EditorFactory = std::unique_ptr<PluginEditor> (*)(PanelController& controller);

// The panel's factory. Declared here for the module's entry point and defined by the panel
// (editor/), which sits above the plug-in; nothing in the plug-in's own library calls it.
EditorFactory panelEditorFactory();

} // namespace vorpalix
