#include "Renderer.h"

#include "AtomicFile.h"
#include "ChunkSummary.h"
#include "InfoReport.h"
#include "MidiFile.h"
#include "PluginHost.h"
#include "ProgressBar.h"
#include "StemPlan.h"
#include "WavWriter.h"
#include "plugin/PanelScreenshot.h"
#include "plugin/VstInterface.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
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

// A file that can be written later: its folder exists and the name is not taken by a folder.
bool checkTarget(const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ec) || fs::is_directory(target, ec)) {
        error = "cannot write " + path + ": no such folder, or the name is a folder";
        return false;
    }
    return true;
}

// The stem files of the plug-in's output layout and the routing of its current state.
bool planStemFiles(PluginHost& host, std::vector<StemFile>& stems, std::string& error) {
    const auto layout = layoutFromPins(outputPinsOf(host));
    const auto routing = readChunkSummary(host.getChunk());
    if (!layout || !routing) {
        error = "cannot write stems: the plug-in's outputs or state are not those of Vorpalix";
        return false;
    }
    stems = planStems(*layout, *routing);
    return true;
}

// The plug-in's own tempo in BPM, from its Tempo knob (30 to 303 BPM).
double internalTempo(PluginHost& host) {
    constexpr int kTempoParameter = 48;
    const double value = host.getParameter(kTempoParameter);
    return std::round((value * 273.0 + 30.0) * 10.0) * 0.1;
}

// Adds the hits of the block just processed, which started at frame `blockStart` of the render,
// to the MIDI track. Fails when the plug-in does not report hits or lost some.
bool collectHits(PluginHost& host, std::vector<vst::HitRecord>& hits, std::int64_t blockStart,
                 int sampleRate, MidiDrumTrack& midi, std::string& error) {
    vst::HitReportQuery query;
    query.records = hits.data();
    query.capacity = static_cast<std::int32_t>(hits.size());
    if (host.dispatch(vst::effVendorSpecific, vst::kHitReportIndex, 0, &query) != 1) {
        error = "cannot export MIDI: the plug-in does not report its hits";
        return false;
    }
    if (query.lost > 0) {
        error = "cannot export MIDI: too many hits in one block (use a smaller --block)";
        return false;
    }
    for (int n = 0; n < query.count; ++n) {
        const vst::HitRecord& hit = hits[static_cast<std::size_t>(n)];
        const double seconds = static_cast<double>(blockStart + hit.frame) / sampleRate;
        midi.notes.push_back(
            {midi.tickAt(seconds), generalMidiDrumKey(hit.instrument), midiVelocity(hit.velocity)});
    }
    return true;
}

} // namespace

bool readRenderState(const std::string& path, std::vector<std::uint8_t>& state,
                     std::string& error) {
    state.clear();
    return path.empty() || readStateFile(path, state, error);
}

bool writePanelScreenshot(const RenderOptions& options, const std::string& pluginPath,
                          std::string& error) {
    std::vector<std::uint8_t> state;
    if (!readRenderState(options.statePath, state, error))
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
    if (!readRenderState(options.statePath, state, error))
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
    // Stems follow the routing of the state the render starts from, so the plug-in is started
    // and given that state before the files are planned.
    host.start();
    if (!state.empty()) {
        host.setChunk(state);
    }
    std::vector<StemFile> stems;
    if (!options.stemsFolder.empty()) {
        if (!planStemFiles(host, stems, error) || !prepareStemFolder(options.stemsFolder, error))
            return false;
        for (const auto& stem : stems)
            files.push_back(OutputFile{nullptr, stem.channels});
    }
    const bool exportMidi = !options.midiPath.empty();
    MidiDrumTrack midi;
    if (exportMidi && !checkTarget(options.midiPath, error))
        return false;
    if (exportMidi) {
        // The notes are timed by the tempo the sequencer plays at: the host's in external sync,
        // the plug-in's own Tempo otherwise.
        const auto summary = readChunkSummary(host.getChunk());
        const bool external = !summary || summary->externalSync;
        midi.microsecondsPerQuarter =
            MidiDrumTrack::tempoValue(external ? options.tempo : internalTempo(host));
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
    for (std::size_t stem = 0; fileIndex < files.size(); ++fileIndex, ++stem) {
        const auto path = std::filesystem::path(options.stemsFolder) / stems[stem].name;
        files[fileIndex].writer = std::make_unique<WavWriter>();
        if (!files[fileIndex].writer->open(path.string(),
                                           static_cast<int>(files[fileIndex].channels.size()),
                                           options.sampleRate)) {
            error = files[fileIndex].writer->error();
            return false;
        }
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
    std::vector<vst::HitRecord> hits(vst::kHitReportCapacity);
    std::int64_t done = 0;
    while (done < total) {
        const int frames =
            static_cast<int>(std::min<std::int64_t>(options.blockSize, total - done));
        host.processBlock(frames);
        if (exportMidi && !collectHits(host, hits, done, options.sampleRate, midi, error))
            return false;
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
        if (!writeFileAtomically(options.saveStatePath, saved, error)) {
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
    // The MIDI file goes first: if it fails, the sound files are still temporaries and vanish.
    if (exportMidi && !writeFileAtomically(options.midiPath, midi.bytes(), error))
        return false;
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
