#include "Renderer.h"

#include "InfoReport.h"
#include "PluginHost.h"
#include "ProgressBar.h"
#include "WavWriter.h"
#include "plugin/PanelScreenshot.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vorpalix::host {

namespace {

// Where one written file takes its samples from.
struct OutputFile {
    std::unique_ptr<WavWriter> writer;
    std::vector<int> channels; // plug-in output channels, in file channel order
};

bool prepareStemFolder(const std::string& folder, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(folder, ec)) {
        if (!fs::is_directory(folder, ec)) {
            error = "cannot write stems: \"" + folder + "\" is not a folder";
            return false;
        }
        return true;
    }
    if (!fs::create_directories(folder, ec)) {
        error = "cannot create the stem folder \"" + folder + "\": " + ec.message();
        return false;
    }
    return true;
}

} // namespace

std::string stemFileName(int pin, const std::string& label) {
    std::string name = pin < 10 ? "0" + std::to_string(pin) : std::to_string(pin);
    name += '-';
    std::string cleaned;
    for (const char c : label) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        cleaned += keep ? c : '_';
    }
    if (cleaned.empty() || cleaned.find_first_not_of('.') == std::string::npos)
        cleaned = "Output";
    return name + cleaned + ".wav";
}

// Reads a whole file; false when it cannot be read.
static bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Writes bytes to path through a temporary file in the same folder and a rename, so the target
// holds either its old content or all of the new one.
static bool writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                           std::string& error) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string temporary = (folder / ".vorpalix-state-XXXXXX").string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = "cannot write " + path;
        return false;
    }
    bool ok = fchmod(fd, 0644) == 0;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        std::remove(temporary.c_str());
        error = "cannot write " + path;
    }
    return ok;
}

bool readStateFile(const std::string& path, std::vector<std::uint8_t>& state, std::string& error) {
    state.clear();
    if (path.empty())
        return true;
    if (!readWholeFile(path, state)) {
        error = "cannot read the state file " + path;
        return false;
    }
    const std::string_view text(reinterpret_cast<const char*>(state.data()), state.size());
    if (text.find("<VorpalixBank") == std::string_view::npos) {
        error = path + " is not a Vorpalix state (no VorpalixBank element)";
        return false;
    }
    return true;
}

bool writePanelScreenshot(const RenderOptions& options, const std::string& pluginPath,
                          std::string& error) {
    std::vector<std::uint8_t> state;
    if (!readStateFile(options.statePath, state, error))
        return false;
    HostOptions hostOptions;
    hostOptions.sampleRate = options.sampleRate;
    hostOptions.blockSize = options.blockSize;
    hostOptions.recordCalls = false;
    LoadResult loaded = PluginHost::load(pluginPath, hostOptions);
    if (!loaded) {
        error = loaded.message;
        return false;
    }
    PluginHost& host = *loaded.host;
    if ((host.flags() & vst::effFlagsHasEditor) == 0) {
        error = "the plug-in has no panel to draw";
        return false;
    }
    host.start();
    if (!state.empty())
        host.setChunk(state);
    // The panel is drawn by the plug-in itself, without a window (the bundled tools' private
    // request); it writes the file through a temporary and a rename.
    std::vector<std::int32_t> clicks;
    for (const auto& [x, y] : options.clicks) {
        clicks.push_back(x);
        clicks.push_back(y);
    }
    vorpalix::PanelScreenshotRequest request;
    request.path = options.screenshotPath.c_str();
    request.clicks = clicks.data();
    request.clickCount = static_cast<std::int32_t>(options.clicks.size());
    if (host.dispatch(vst::effVendorSpecific, vorpalix::kPanelScreenshotOpcode, 0, &request) != 1) {
        error = "cannot write the panel picture " + options.screenshotPath;
        return false;
    }
    return true;
}

bool renderToFiles(const RenderOptions& options, const std::string& pluginPath,
                   std::FILE* progressStream, std::string& error) {
    // A state to start from is read before anything is created, so a bad file is reported at
    // once.
    std::vector<std::uint8_t> state;
    if (!readStateFile(options.statePath, state, error))
        return false;

    HostOptions hostOptions;
    hostOptions.sampleRate = options.sampleRate;
    hostOptions.blockSize = options.blockSize;
    hostOptions.accumulate = options.accumulate;
    hostOptions.recordCalls = false;
    LoadResult loaded = PluginHost::load(pluginPath, hostOptions);
    if (!loaded) {
        error = loaded.message;
        return false;
    }
    PluginHost& host = *loaded.host;
    const int outputs = host.numOutputs();
    if (outputs <= 0) {
        error = "the plug-in has no audio outputs";
        return false;
    }

    std::vector<OutputFile> files;
    if (!options.outputPath.empty()) {
        OutputFile file;
        const int count = options.allOutputs ? outputs : std::min(outputs, 2);
        for (int ch = 0; ch < count; ++ch)
            file.channels.push_back(ch);
        files.push_back(std::move(file));
    }
    if (!options.stemsFolder.empty()) {
        if (!prepareStemFolder(options.stemsFolder, error))
            return false;
        for (int pin = 0; pin < outputs; ++pin) {
            OutputFile file;
            file.channels.push_back(pin);
            files.push_back(std::move(file));
        }
    }

    // A WAV file counts its data bytes in 32 bits; refuse a render that would not fit.
    const std::int64_t total = options.lengthInFrames();
    constexpr std::int64_t kMaxWavDataBytes = 0xFFFFFFFFLL - 1024;
    for (const auto& file : files) {
        const auto bytes = total * static_cast<std::int64_t>(file.channels.size()) * 4;
        if (bytes > kMaxWavDataBytes) {
            error = "the render is too long for a WAV file (4 GiB at most)";
            return false;
        }
    }

    // Every file is opened (as a temporary) before the plug-in runs, so that a bad target is
    // reported at once.
    std::size_t fileIndex = 0;
    if (!options.outputPath.empty()) {
        files[0].writer = std::make_unique<WavWriter>();
        if (!files[0].writer->open(options.outputPath, static_cast<int>(files[0].channels.size()),
                                   options.sampleRate)) {
            error = files[0].writer->error();
            return false;
        }
        fileIndex = 1;
    }
    for (; fileIndex < files.size(); ++fileIndex) {
        const int pin = files[fileIndex].channels.front();
        const auto properties = host.outputProperties(pin);
        const std::string label =
            properties ? std::string(properties->label,
                                     strnlen(properties->label, sizeof properties->label))
                       : std::string();
        const auto path = std::filesystem::path(options.stemsFolder) / stemFileName(pin, label);
        files[fileIndex].writer = std::make_unique<WavWriter>();
        if (!files[fileIndex].writer->open(path.string(), 1, options.sampleRate)) {
            error = files[fileIndex].writer->error();
            return false;
        }
    }

    host.start();
    if (!state.empty()) {
        host.setChunk(state);
    }
    Transport& transport = host.transport();
    transport.setTempo(options.tempo);
    transport.locate(0.0);
    if (options.patterns) {
        // One frame with the transport stopped carries the pattern keys (the first key names
        // the range, the second, pressed while the first is held, extends it), so the chain
        // starts on the first pattern when the transport starts. That frame is not written.
        const auto [first, last] = *options.patterns;
        host.scheduleRawMidi(0, MidiMessage::noteOn(0, first + 12, 100));
        host.scheduleRawMidi(0, MidiMessage::noteOn(0, last + 12, 100));
        host.scheduleRawMidi(0, MidiMessage::noteOff(0, last + 12, 0));
        host.scheduleRawMidi(0, MidiMessage::noteOff(0, first + 12, 0));
        host.processBlock(1);
        transport.locate(0.0);
    }
    transport.setPlaying(true);
    const std::int64_t start = host.streamPosition();
    for (const auto& event : options.events)
        host.scheduleMidi(start + event.sampleTime(options.sampleRate, options.tempo),
                          event.message);

    ProgressBar progress(progressStream, progressStream != nullptr);
    std::vector<float> interleaved;
    std::int64_t done = 0;
    while (done < total) {
        const int frames =
            static_cast<int>(std::min<std::int64_t>(options.blockSize, total - done));
        host.processBlock(frames);
        for (auto& file : files) {
            const std::size_t width = file.channels.size();
            interleaved.resize(static_cast<std::size_t>(frames) * width);
            for (std::size_t c = 0; c < width; ++c) {
                const auto samples = host.output(file.channels[c]);
                for (int i = 0; i < frames; ++i)
                    interleaved[static_cast<std::size_t>(i) * width + c] =
                        samples[static_cast<std::size_t>(i)];
            }
            if (!file.writer->write(interleaved.data(), frames)) {
                error = file.writer->error();
                return false;
            }
        }
        done += frames;
        progress.update(static_cast<double>(done) / static_cast<double>(total));
    }
    progress.finish();
    if (!options.saveStatePath.empty()) {
        const std::vector<std::uint8_t> saved = host.getChunk();
        if (saved.empty()) {
            error = "the plug-in handed out no state";
            return false;
        }
        if (!writeWholeFile(options.saveStatePath, saved, error)) {
            return false;
        }
    }
    host.close();

    for (auto& file : files) {
        if (!file.writer->finish()) {
            error = file.writer->error();
            return false;
        }
    }
    for (auto& file : files) {
        if (!file.writer->publish()) {
            error = file.writer->error();
            return false;
        }
    }
    return true;
}

bool printPluginInfo(const std::string& pluginPath, std::ostream& out, std::string& error) {
    LoadResult loaded = PluginHost::load(pluginPath);
    if (!loaded) {
        error = loaded.message;
        return false;
    }
    PluginHost& host = *loaded.host;
    host.open();
    host.setSampleRate(host.sampleRate());
    host.setBlockSize(host.blockSize());
    writeInfo(host, out);
    out.flush();
    return true;
}

} // namespace vorpalix::host
