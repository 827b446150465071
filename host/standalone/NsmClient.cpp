#include "NsmClient.h"

#include <unistd.h>

namespace vorpalix::host {

namespace {

void ignoreError(int, const char*, const char*) {}

} // namespace

std::unique_ptr<NsmClient> NsmClient::connect(const std::string& url, std::string& error) {
    std::unique_ptr<NsmClient> client(new NsmClient());
    client->manager_ = lo_address_new_from_url(url.c_str());
    if (client->manager_ == nullptr) {
        error = "NSM_URL \"" + url + "\" is not an OSC address";
        return nullptr;
    }
    client->server_ =
        lo_server_new_with_proto(nullptr, lo_address_get_protocol(client->manager_), ignoreError);
    if (client->server_ == nullptr) {
        error = "cannot open an OSC port for the session manager";
        return nullptr;
    }
    lo_server_add_method(client->server_, "/nsm/client/open", "sss", &NsmClient::onOpen,
                         client.get());
    lo_server_add_method(client->server_, "/nsm/client/save", "", &NsmClient::onSave, client.get());
    lo_server_add_method(client->server_, "/nsm/client/show_optional_gui", "", &NsmClient::onShow,
                         client.get());
    lo_server_add_method(client->server_, "/nsm/client/hide_optional_gui", "", &NsmClient::onHide,
                         client.get());
    lo_server_add_method(client->server_, "/reply", nullptr, &NsmClient::onReply, client.get());
    return client;
}

NsmClient::~NsmClient() {
    if (server_ != nullptr)
        lo_server_free(server_);
    if (manager_ != nullptr)
        lo_address_free(manager_);
}

void NsmClient::announce(const std::string& executable) {
    lo_send_from(manager_, server_, LO_TT_IMMEDIATE, "/nsm/server/announce", "sssiii", "Vorpalix",
                 ":optional-gui:", executable.c_str(), 1, 2, static_cast<int>(getpid()));
}

void NsmClient::poll(int milliseconds) {
    int wait = milliseconds;
    while (lo_server_recv_noblock(server_, wait) > 0)
        wait = 0;
}

std::optional<NsmClient::OpenRequest> NsmClient::takeOpen() {
    auto request = std::move(open_);
    open_.reset();
    return request;
}

bool NsmClient::takeSave() {
    const bool save = save_;
    save_ = false;
    return save;
}

std::optional<bool> NsmClient::takeGuiRequest() {
    const auto request = gui_;
    gui_.reset();
    return request;
}

void NsmClient::reply(const char* request, const std::string& message) {
    lo_send_from(manager_, server_, LO_TT_IMMEDIATE, "/reply", "ss", request, message.c_str());
}

void NsmClient::fail(const char* request, int code, const std::string& message) {
    lo_send_from(manager_, server_, LO_TT_IMMEDIATE, "/error", "sis", request, code,
                 message.c_str());
}

void NsmClient::guiShown(bool shown) {
    lo_send_from(manager_, server_, LO_TT_IMMEDIATE,
                 shown ? "/nsm/client/gui_is_shown" : "/nsm/client/gui_is_hidden", "");
}

int NsmClient::onOpen(const char*, const char*, lo_arg** argv, int, lo_message, void* self) {
    auto* client = static_cast<NsmClient*>(self);
    client->open_ = OpenRequest{&argv[0]->s, &argv[1]->s, &argv[2]->s};
    return 0;
}

int NsmClient::onSave(const char*, const char*, lo_arg**, int, lo_message, void* self) {
    static_cast<NsmClient*>(self)->save_ = true;
    return 0;
}

int NsmClient::onShow(const char*, const char*, lo_arg**, int, lo_message, void* self) {
    static_cast<NsmClient*>(self)->gui_ = true;
    return 0;
}

int NsmClient::onHide(const char*, const char*, lo_arg**, int, lo_message, void* self) {
    static_cast<NsmClient*>(self)->gui_ = false;
    return 0;
}

int NsmClient::onReply(const char*, const char* types, lo_arg** argv, int argc, lo_message,
                       void* self) {
    auto* client = static_cast<NsmClient*>(self);
    // /reply "/nsm/server/announce" message manager-name capabilities
    if (argc >= 3 && types[0] == 's' && std::string(&argv[0]->s) == "/nsm/server/announce") {
        client->announced_ = true;
        if (types[2] == 's')
            client->managerName_ = &argv[2]->s;
    }
    return 0;
}

} // namespace vorpalix::host
