// The GUI thread's side of the sound system for tests: a timer service and a loop that hands
// posted messages to the sound system and fires due timers, as the main window does, on a clock
// the test drives.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/timer_service.h"
#include "platform/message_queue.h"
#include "sound/sound_system.h"
#include "tests/sound/test_tone.h"
#include "tests/support/driven_clock.h"

struct SeenMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD atMs;  // clock time when it was dispatched
};

class SoundHarness {
   public:
    explicit SoundHarness(platform::AudioOutput output = platform::AudioOutput::Silent) {
        // Messages left over from an earlier system would name its streams.
        platform::Message m;
        while (platform::MainQueue().Take(&m)) {
        }
        system.Init(output);
        system.SetTimerService(&timers);
    }

    // One pass of the main loop: every queued message, then the due timers.
    void Pump() {
        platform::Message m;
        while (platform::MainQueue().Take(&m)) {
            seen.push_back({m.message, m.wParam, m.lParam, clock.Milliseconds()});
            system.DispatchSoundMessage(m.message, m.wParam, m.lParam);
        }
        timers.RunDueTimers(nullptr);
    }

    // Runs the loop until `done` holds or `clockMs` of clock time have passed, the clock moved
    // from one due moment (a timer, a thread's wait) to the next.
    bool RunUntil(const std::function<bool()>& done, DWORD clockMs) {
        const std::int64_t end = clock.Now() + std::int64_t{clockMs} * 1000;
        for (;;) {
            Pump();
            if (done()) return true;
            const std::int64_t now = clock.Now();
            if (now >= end) return false;
            if (!platform::MainQueue().Empty()) continue;
            const std::int64_t timer = now + timers.MicrosecondsToNextDue().value_or(end - now);
            clock.AdvanceTo(std::max(std::min({timer, clock.NextDeadline(), end}), now + 1));
        }
    }
    void RunFor(DWORD clockMs) {
        RunUntil([] { return false; }, clockMs);
    }

    int Count(UINT message) const {
        int n = 0;
        for (const SeenMessage& s : seen) n += s.message == message;
        return n;
    }

    // A lookup over tones kept by the harness.
    SoundResourceLookup Lookup(std::vector<std::pair<int, const std::vector<unsigned char>*>> tones) {
        return [tones](int number) -> std::span<const std::byte> {
            for (auto& [n, bytes] : tones)
                if (n == number) return {reinterpret_cast<const std::byte*>(bytes->data()), bytes->size()};
            return {};
        };
    }

    // data/rc of the source tree, where the program's own numbered sounds are kept; CTest
    // names the tree in VORLEN_SOURCE_DIR. Empty (and the test fails) without it.
    static std::string SourceTreeSoundFolder() {
        const char* root = std::getenv("VORLEN_SOURCE_DIR");
        EXPECT_TRUE(root && *root) << "VORLEN_SOURCE_DIR names the source tree; CTest sets it";
        return root && *root ? std::string(root) + "/data/rc" : std::string();
    }

    DrivenClock clock;             // first: everything below runs on it
    IMTimerService timers{clock};  // destroyed after the system, as the window outlives its engine
    CSoundSystem system{clock};
    std::vector<SeenMessage> seen;
};
