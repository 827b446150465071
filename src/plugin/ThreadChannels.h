#pragma once

// Everything the user-interface thread and the audio thread share, in one place. Every other
// object belongs to one of them: the processor (engine, sequencer, live patterns, live
// controller map) to the audio thread, the controller (documents, presets, the copies of the
// patterns and the controller map, the edit state) to the user-interface thread.
//
// - commands: user-interface thread -> audio thread, applied at block start, in order;
// - retiredBanks: audio thread -> user-interface thread, banks a whole-state swap replaced,
//   freed there;
// - notifications: audio thread -> user-interface thread, what must not be missed (a learnt
//   controller, a change of the playing pattern or of the range, a stopped transport); when the
//   queue is full the audio thread sets notificationsLost, and the user-interface thread reads
//   playback afresh;
// - parameters: the host parameter values (see ParameterStore);
// - requestedRate: the sample rate the host set last, taken by the audio thread at block start.

#include <atomic>

#include "plugin/AudioCommand.h"
#include "plugin/ParameterStore.h"
#include "plugin/SpscQueue.h"

namespace vorpalix {

class PatternBank;

struct ThreadChannels {
    // Room for far more commands than one block's worth of user actions; every bank a command
    // carries can be handed back, since retiredBanks holds twice as many entries.
    static constexpr std::size_t kCommandCapacity = 128;
    static constexpr std::size_t kRetiredCapacity = 2 * kCommandCapacity;
    static constexpr std::size_t kNotificationCapacity = 64;

    SpscQueue<AudioCommand> commands{kCommandCapacity};
    SpscQueue<PatternBank*> retiredBanks{kRetiredCapacity};
    SpscQueue<Notification> notifications{kNotificationCapacity};
    std::atomic<bool> notificationsLost{false};
    ParameterStore parameters;
    std::atomic<float> requestedRate{44100.0f};
};

} // namespace vorpalix
