#pragma once

#include <lo/lo.h>

#include <memory>
#include <optional>
#include <string>

namespace vorpalix::host {

// A client of the Non/New Session Manager protocol (OSC over liblo): announces the program,
// then hands the main loop the manager's requests (open, save, show and hide the window) to
// carry out and answer. Main thread only.
class NsmClient {
public:
    struct OpenRequest {
        std::string path; // the instance's files: a folder of ours in the session
        std::string displayName;
        std::string clientId; // the JACK client name to use
    };

    // Connects to the manager at `url` (the value of NSM_URL). Nothing, with a one-line
    // message, when the URL is unusable.
    static std::unique_ptr<NsmClient> connect(const std::string& url, std::string& error);
    ~NsmClient();
    NsmClient(const NsmClient&) = delete;
    NsmClient& operator=(const NsmClient&) = delete;

    // Sends /nsm/server/announce with the optional-gui capability.
    void announce(const std::string& executable);
    // Handles what has arrived, waiting at most `milliseconds` for the first message.
    void poll(int milliseconds);

    // Requests waiting to be carried out; each is taken once.
    std::optional<OpenRequest> takeOpen();
    bool takeSave();
    std::optional<bool> takeGuiRequest(); // true: show, false: hide
    bool announced() const { return announced_; }
    const std::string& managerName() const { return managerName_; }

    // Answers a request ("/nsm/client/open", "/nsm/client/save").
    void reply(const char* request, const std::string& message);
    void fail(const char* request, int code, const std::string& message);
    // Tells the manager whether the window shows.
    void guiShown(bool shown);

    static constexpr int kErrorGeneral = -1;
    static constexpr int kErrorBadProject = -9;
    static constexpr int kErrorSaveFailed = -4;

private:
    NsmClient() = default;
    static int onOpen(const char*, const char*, lo_arg**, int, lo_message, void*);
    static int onSave(const char*, const char*, lo_arg**, int, lo_message, void*);
    static int onShow(const char*, const char*, lo_arg**, int, lo_message, void*);
    static int onHide(const char*, const char*, lo_arg**, int, lo_message, void*);
    static int onReply(const char*, const char*, lo_arg**, int, lo_message, void*);

    lo_address manager_ = nullptr;
    lo_server server_ = nullptr;
    std::optional<OpenRequest> open_;
    bool save_ = false;
    std::optional<bool> gui_;
    bool announced_ = false;
    std::string managerName_;
};

} // namespace vorpalix::host
