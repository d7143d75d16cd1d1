#ifndef TREL_INPUT_H
#define TREL_INPUT_H

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "base/TrelExport.h"

// The input a game reads: one state per logic tick, latched at the start of the tick, so a
// key read twice in one tick reads the same and a recording of the latched states replays a
// session exactly. Held by value as TrelSystem::input.
//
// Codes are Allegro's key scancodes (KEY_A ... KEY_PAUSE, below KEY_MAX), then the first
// joystick's digital directions and buttons (kJoyLeft ... kJoyButton0 + 15), so keys and pad
// read and record alike.
class TREL_API TrelInput {
public:
    static const int kKeyCodes = 127; // Allegro's KEY_MAX
    static const int kJoyLeft = kKeyCodes;
    static const int kJoyRight = kKeyCodes + 1;
    static const int kJoyUp = kKeyCodes + 2;
    static const int kJoyDown = kKeyCodes + 3;
    static const int kJoyButton0 = kKeyCodes + 4;
    static const int kJoyButtons = 16;
    static const int kCodes = kJoyButton0 + kJoyButtons;

    // Where the latched state comes from: Allegro's keyboard (and the joystick, once
    // useJoystick() has found one), or the state set with feed() (headless runs, tests, and
    // TrelPlayer's replays).
    enum Source { kDevices, kFed };

    TrelInput();
    ~TrelInput();

    TrelInput(const TrelInput&) = delete;
    TrelInput& operator=(const TrelInput&) = delete;

    // The latched state of this tick; false for a code out of range. A key pressed and
    // released between two ticks reads as down in the next tick (and released in the one
    // after), so a short tap is never lost.
    bool isDown(int code) const { return valid(code) && now[code] != 0; }
    // Down in this tick, not in the one before.
    bool wasPressed(int code) const { return valid(code) && now[code] != 0 && before[code] == 0; }
    // Down in the tick before, not in this one.
    bool wasReleased(int code) const { return valid(code) && now[code] == 0 && before[code] != 0; }

    // A named action, down while any code bound to it is down. addAction returns the
    // action's number (the same one again for a name already added); bind and unbind may
    // be called at any time and take effect at the next tick.
    int addAction(const char* name);
    // -1 for a name never added.
    int findAction(const char* name) const;
    void bindAction(int action, int code);
    // Removes every code of the action.
    void unbindAction(int action);
    // The actions in the order they were added, and the codes bound to each (none for an
    // action out of range): what a game's settings save and an options screen shows.
    int getActionCount() const { return static_cast<int>(actions.size()); }
    const char* getActionName(int action) const {
        return hasAction(action) ? actions[action].name.data() : "";
    }
    const std::vector<int>& getActionCodes(int action) const;
    bool isActionDown(int action) const { return hasAction(action) && actions[action].now; }
    bool wasActionPressed(int action) const {
        return hasAction(action) && actions[action].now && !actions[action].before;
    }
    bool wasActionReleased(int action) const {
        return hasAction(action) && !actions[action].now && actions[action].before;
    }

    // Whether Escape ends the main loop (the default). Turn it off to use Escape in the
    // game, for a pause menu for example.
    void setEscapeQuits(bool quits) { escapeQuits = quits; }
    bool getEscapeQuits() { return escapeQuits; }

    void setSource(Source from) { source = from; }
    Source getSource() { return source; }
    // The state the next latch takes with the kFed source: a code held down or let go.
    void feed(int code, bool down) {
        if (valid(code))
            fed[code] = down ? 1 : 0;
    }
    bool getFed(int code) const { return valid(code) && fed[code] != 0; }
    // Lets every fed code go.
    void releaseFed() { fed.fill(0); }

    // Installs Allegro's joystick driver and reads the first joystick into kJoyLeft ...
    // from the next tick on (call it after TrelInterface::init). False when no joystick is
    // found; the game then runs on the keyboard alone.
    bool useJoystick();

    // The whole latched state, one byte per code (1 down, 0 up): what recordings store.
    const std::array<std::uint8_t, kCodes>& getState_() const { return now; }

    // Called by TrelInterface::startLoop only, once per tick: takes the new state from the
    // source and keeps the old one for the edges. With mirror, the latched keys are also
    // written into Allegro's key[] (headless, where no keyboard driver writes it), so a game
    // that still reads key[] replays alike.
    void latch_(bool mirror);
    // Called by TrelInterface::init and deinit only: starts and stops noticing key presses
    // between ticks (through Allegro's keyboard_lowlevel_callback, which the engine takes).
    void startKeyboard_();
    void stopKeyboard_();
    // Called by TrelRecorder and TrelPlayer when they start: every code up, in this tick
    // and the one before, as at the start of a recording.
    void reset_();

private:
    struct Action {
        std::vector<char> name; // with its terminating NUL
        std::vector<int> codes;
        bool now = false;
        bool before = false;
    };

    static bool valid(int code) { return code >= 0 && code < kCodes; }
    bool hasAction(int action) const {
        return action >= 0 && static_cast<std::size_t>(action) < actions.size();
    }
    void readDevices();
    void readJoystick();
    static void noteKey(int scancode);

    std::array<std::uint8_t, kCodes> now{};
    std::array<std::uint8_t, kCodes> before{};
    std::array<std::uint8_t, kCodes> fed{};
    // Keys pressed since the last latch, set on Allegro's keyboard thread: bit k of word k / 32.
    std::array<std::atomic<std::uint32_t>, (kKeyCodes + 31) / 32> taps;
    std::vector<Action> actions;
    Source source = kDevices;
    bool escapeQuits = true;
    bool joystick = false;
    bool listening = false;
};

#endif
