#include "WavWriter.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace vorpalix::host {

namespace {

// Temporary files a signal handler must remove. Plain arrays and atomics only, because the
// handler may read them at any moment.
constexpr int kSignalSlots = 64;
constexpr std::size_t kSlotPathLength = 4096;
char gSlotPaths[kSignalSlots][kSlotPathLength];
std::atomic<bool> gSlotUsed[kSignalSlots];

int claimSlot(const std::string& path) {
    if (path.size() >= kSlotPathLength)
        return -1;
    for (int i = 0; i < kSignalSlots; ++i) {
        if (!gSlotUsed[i].exchange(true)) {
            std::memcpy(gSlotPaths[i], path.c_str(), path.size() + 1);
            return i;
        }
    }
    return -1;
}

void releaseSlot(int slot) {
    if (slot >= 0)
        gSlotUsed[slot].store(false);
}

extern "C" void removeTemporariesAndExit(int signalNumber) {
    for (int i = 0; i < kSignalSlots; ++i)
        if (gSlotUsed[i].load())
            unlink(gSlotPaths[i]);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

} // namespace

void WavWriter::removeTemporariesOnSignals() {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        signal(signalNumber, removeTemporariesAndExit);
}

WavWriter::~WavWriter() {
    abandon();
}

bool WavWriter::open(const std::string& path, int channels, int sampleRate) {
    abandon();
    path_ = path;
    channels_ = channels;
    finished_ = false;
    if (channels <= 0 || sampleRate <= 0) {
        error_ = "cannot write \"" + path + "\": no channels to write";
        return false;
    }
    const std::filesystem::path target(path);
    if (target.filename().empty()) {
        error_ = "cannot write \"" + path + "\": not a file name";
        return false;
    }
    // The temporary lives beside the target so that the final rename stays on one file system.
    const std::filesystem::path folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    std::string pattern = (folder / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error_ = "cannot write \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    temporaryPath_ = name.data();
    signalSlot_ = claimSlot(temporaryPath_);
    // mkstemp creates the file private to the user; give it the permissions of a normal file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);

    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (file_ == nullptr) {
        error_ = "cannot write \"" + path + "\": " + sf_strerror(nullptr);
        ::close(fd);
        abandon();
        return false;
    }
    return true;
}

bool WavWriter::write(const float* interleaved, std::int64_t frames) {
    if (file_ == nullptr) {
        error_ = "cannot write \"" + path_ + "\": file not open";
        return false;
    }
    if (frames <= 0)
        return true;
    if (sf_writef_float(file_, interleaved, frames) != frames) {
        error_ = "cannot write \"" + path_ + "\": " + sf_strerror(file_);
        return false;
    }
    return true;
}

bool WavWriter::finish() {
    if (file_ == nullptr) {
        error_ = "cannot write \"" + path_ + "\": file not open";
        return false;
    }
    sf_write_sync(file_);
    const int status = sf_close(file_);
    file_ = nullptr;
    if (status != 0) {
        error_ = "cannot write \"" + path_ + "\": " + sf_error_number(status);
        return false;
    }
    finished_ = true;
    return true;
}

bool WavWriter::publish() {
    if (!finished_ || temporaryPath_.empty()) {
        error_ = "cannot write \"" + path_ + "\": file not finished";
        return false;
    }
    if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
        error_ = "cannot write \"" + path_ + "\": " + std::strerror(errno);
        return false;
    }
    releaseSlot(signalSlot_);
    signalSlot_ = -1;
    temporaryPath_.clear();
    finished_ = false;
    return true;
}

void WavWriter::abandon() {
    if (file_ != nullptr) {
        sf_close(file_);
        file_ = nullptr;
    }
    if (!temporaryPath_.empty()) {
        std::remove(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
    releaseSlot(signalSlot_);
    signalSlot_ = -1;
    finished_ = false;
}

} // namespace vorpalix::host
