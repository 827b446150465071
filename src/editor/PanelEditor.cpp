#include "editor/PanelEditor.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "editor/PanelArt.h"
#include "editor/PanelLayout.h"
#include "editor/PanelWindow.h"
#include "plugin/PluginVersion.h"
#include "state/ControllerMap.h"
#include "state/ParameterTable.h"
#include "state/XmlDocument.h"
#include "toolkit/Bitmap.h"
#include "toolkit/EditorBase.h"
#include "toolkit/HeadlessBackend.h"

namespace vorpalix {

// The toolkit's editor base holding the frame while the window is open: it makes the X11 child
// window (or the headless frame), guards idle against being called from inside itself, and
// hands the rest of every idle to the panel window.
class PanelEditor::Shell final : public toolkit::EditorBase {
public:
    explicit Shell(PanelEditor& owner) : owner_(owner) {}

protected:
    void onIdle() override {
        if (owner_.window_)
            owner_.window_->idle();
    }

private:
    PanelEditor& owner_;
};

PanelEditor::PanelEditor(PanelController& controller)
    : controller_(controller), editing_(controller),
      dialogs_([&controller](const FileDialogRequest& request) {
          return controller.selectFileWithHost(request.command == FileDialogCommand::Save,
                                               request.title, request.description,
                                               request.extension);
      }),
      shell_(std::make_unique<Shell>(*this)) {
    // The rectangle is known before the window opens: the background's size, read from its
    // header so that a plug-in whose panel never opens decodes no picture.
    usePanelArt();
    shell_->setBackgroundId(kBitmapBackground);
}

PanelEditor::~PanelEditor() {
    close();
}

bool PanelEditor::windowSize(int& width, int& height) const {
    const toolkit::Rect rect = shell_->getRect();
    if (rect.isEmpty())
        return false;
    width = rect.getWidth();
    height = rect.getHeight();
    return true;
}

bool PanelEditor::open(void* parentWindow) {
    close();
    // The art is found again at every open, in case another part of the process replaced the
    // toolkit's bitmap source meanwhile.
    usePanelArt();
    if (!shell_->open(parentWindow))
        return false;
    window_ = std::make_unique<PanelWindow>(*this, *shell_->getFrame());
    return true;
}

void PanelEditor::close() {
    // The window holds pointers into the frame's controls: it goes first.
    window_.reset();
    shell_->close();
}

void PanelEditor::idle() {
    shell_->idle();
}

void PanelEditor::setHeadless(bool headless) {
    shell_->setHeadless(headless);
}

toolkit::Frame* PanelEditor::frame() {
    return shell_->getFrame();
}

toolkit::HeadlessBackend* PanelEditor::headlessBackend() {
    return shell_->getHeadlessBackend();
}

int PanelEditor::vendorVersion() const {
    return kVendorVersion;
}

bool PanelEditor::writeScreenshot(const PanelScreenshotRequest& request) {
    if (isOpen() || request.path == nullptr || request.clickCount < 0 ||
        (request.clickCount > 0 && request.clicks == nullptr))
        return false;
    const bool wasHeadless = shell_->isHeadless();
    shell_->setHeadless(true);
    const bool opened = open(nullptr);
    shell_->setHeadless(wasHeadless);
    if (!opened)
        return false;
    toolkit::HeadlessBackend* window = headlessBackend();
    // Each click is followed by a few idles, so that what it changed is shown; the clock moves
    // on by a fifth of a second per click.
    auto settle = [&] {
        for (int i = 0; i < 4; ++i) {
            window->advance(50);
            idle();
        }
    };
    settle();
    for (std::int32_t i = 0; i < request.clickCount; ++i) {
        window->click({request.clicks[2 * i], request.clicks[2 * i + 1]});
        settle();
    }
    frame()->redraw();
    const bool written = window->writePng(request.path);
    close();
    return written;
}

std::unique_ptr<PluginEditor> createPanelEditor(PanelController& controller) {
    return std::make_unique<PanelEditor>(controller);
}

EditorFactory panelEditorFactory() {
    return &createPanelEditor;
}

void PanelEditor::setPanelDescription(const xmlNode* gui) {
    const ParameterTable& table = controller_.parameters();
    description_.parse(gui, [&table](std::string_view name) { return table.indexOfName(name); });
    refreshDisplays();
}

void PanelEditor::notify(const Notification& notification) {
    switch (notification.type) {
    case NotificationType::ControllerLearnt:
        learnt_ = notification.b;
        learnChanged_ = true;
        break;
    case NotificationType::PlayingPatternChanged:
    case NotificationType::RangeChanged:
        patternChanged_ = true;
        break;
    case NotificationType::TransportStopped:
        transportStopped_ = true;
        break;
    }
}

std::array<std::uint64_t, 2> PanelEditor::takeChangedParameters() {
    return controller_.takeChangedParameters();
}

int PanelEditor::takeLearnDisplayChange() {
    const int parameter = learnChanged_ ? learnt_ : -1;
    learnChanged_ = false;
    return parameter;
}

std::string PanelEditor::learnDisplayText(int parameter) const {
    if (parameter < 0 || parameter >= kNumHostParameters) {
        return {};
    }
    const std::string name = controller_.parameters().info(parameter).shortName;
    const int controller = controller_.controllerMap().controllerOf(parameter);
    if (controller < 0) {
        return name + " - ...";
    }
    std::string digits = formatInt(controller);
    digits.insert(0, 3 - std::min<std::size_t>(3, digits.size()), '0');
    return name + " - " + digits;
}

bool PanelEditor::takePatternChange() {
    return std::exchange(patternChanged_, false);
}

bool PanelEditor::takeTransportStop() {
    return std::exchange(transportStopped_, false);
}

bool PanelEditor::takeRefreshAll() {
    return std::exchange(refreshAll_, false);
}

} // namespace vorpalix
