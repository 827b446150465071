#pragma once

#include <cstdint>
#include <span>
#include <string>

struct sf_private_tag;

namespace vorpalix::host {

// Writes a 32-bit float WAV file so that the target name only ever holds a complete file: the
// samples go to a temporary file in the target's folder, and publish() renames it into place.
// A writer destroyed before publish() removes its temporary file.
class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates the temporary file. Returns false with a one-line message in error().
    bool open(const std::string& path, int channels, int sampleRate);
    // Appends `frames` interleaved frames.
    bool write(const float* interleaved, std::int64_t frames);
    // Completes the file (header sizes); it is still under its temporary name.
    bool finish();
    // Renames the finished file to the target name.
    bool publish();
    // Removes the temporary file now.
    void abandon();

    // Installs handlers for SIGINT, SIGTERM and SIGHUP that remove every temporary file still
    // open and then end the process as the signal would.
    static void removeTemporariesOnSignals();

    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }
    const std::string& temporaryPath() const { return temporaryPath_; }
    int channels() const { return channels_; }

private:
    sf_private_tag* file_ = nullptr;
    std::string path_;
    std::string temporaryPath_;
    std::string error_;
    int channels_ = 0;
    int signalSlot_ = -1; // this writer's entry in the list of temporaries to remove on a signal
    bool finished_ = false;
};

} // namespace vorpalix::host
