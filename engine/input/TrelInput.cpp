#include "input/TrelInput.h"

#include <allegro.h>

#include <cstring>

static_assert(TrelInput::kKeyCodes == KEY_MAX, "key codes are Allegro's scancodes");

namespace {

// The input that Allegro's keyboard thread reports taps to. Allegro's low-level callback
// takes no parameter, so the one listening input is kept here while it listens.
std::atomic<TrelInput*> listener{nullptr};

} // namespace

TrelInput::TrelInput() {
    for (std::atomic<std::uint32_t>& word : taps)
        word.store(0);
}

TrelInput::~TrelInput() {
    stopKeyboard_();
}

int TrelInput::addAction(const char* name) {
    int found = findAction(name);
    if (found >= 0)
        return found;
    Action action;
    const char* text = name != nullptr ? name : "";
    action.name.assign(text, text + std::strlen(text) + 1);
    actions.push_back(action);
    return static_cast<int>(actions.size()) - 1;
}

int TrelInput::findAction(const char* name) const {
    for (std::size_t i = 0; i < actions.size(); ++i)
        if (std::strcmp(actions[i].name.data(), name != nullptr ? name : "") == 0)
            return static_cast<int>(i);
    return -1;
}

void TrelInput::bindAction(int action, int code) {
    if (hasAction(action) && valid(code))
        actions[action].codes.push_back(code);
}

const std::vector<int>& TrelInput::getActionCodes(int action) const {
    static const std::vector<int> none;
    return hasAction(action) ? actions[action].codes : none;
}

void TrelInput::unbindAction(int action) {
    if (hasAction(action))
        actions[action].codes.clear();
}

bool TrelInput::useJoystick() {
    if (!joystick && install_joystick(JOY_TYPE_AUTODETECT) == 0)
        joystick = num_joysticks > 0;
    if (joystick)
        return true;
    remove_joystick();
    return false;
}

void TrelInput::noteKey(int scancode) {
    TrelInput* input = listener.load();
    // Bit 7 set is a release; only presses matter, releases are seen in key[].
    if (input == nullptr || (scancode & 0x80) != 0 || scancode <= 0 || scancode >= kKeyCodes)
        return;
    input->taps[scancode / 32].fetch_or(1u << (scancode % 32));
}

void TrelInput::startKeyboard_() {
    listener.store(this);
    keyboard_lowlevel_callback = noteKey;
    listening = true;
}

void TrelInput::stopKeyboard_() {
    if (!listening)
        return;
    if (keyboard_lowlevel_callback == noteKey)
        keyboard_lowlevel_callback = nullptr;
    TrelInput* self = this;
    listener.compare_exchange_strong(self, nullptr);
    listening = false;
}

void TrelInput::reset_() {
    now.fill(0);
    before.fill(0);
    for (Action& action : actions)
        action.now = action.before = false;
}

void TrelInput::readDevices() {
    now.fill(0);
    for (int w = 0; w < static_cast<int>(taps.size()); ++w) {
        // Read and cleared in one step: a tap reported after it is seen next tick, never lost.
        std::uint32_t tapped = taps[w].exchange(0);
        for (int k = w * 32; k < kKeyCodes && k < (w + 1) * 32; ++k)
            now[k] = (key[k] != 0 || (tapped >> (k % 32) & 1u) != 0) ? 1 : 0;
    }
    if (joystick)
        readJoystick();
}

void TrelInput::readJoystick() {
    poll_joystick();
    const JOYSTICK_INFO& pad = joy[0];
    if (pad.num_sticks > 0 && pad.stick[0].num_axis > 0) {
        now[kJoyLeft] = pad.stick[0].axis[0].d1 != 0;
        now[kJoyRight] = pad.stick[0].axis[0].d2 != 0;
    }
    if (pad.num_sticks > 0 && pad.stick[0].num_axis > 1) {
        now[kJoyUp] = pad.stick[0].axis[1].d1 != 0;
        now[kJoyDown] = pad.stick[0].axis[1].d2 != 0;
    }
    for (int b = 0; b < kJoyButtons; ++b)
        now[kJoyButton0 + b] = b < pad.num_buttons && pad.button[b].b != 0;
}

void TrelInput::latch_(bool mirror) {
    before = now;
    if (source == kFed)
        now = fed;
    else
        readDevices();
    if (mirror)
        for (int k = 0; k < kKeyCodes; ++k)
            key[k] = static_cast<char>(now[k]);
    for (Action& action : actions) {
        action.before = action.now;
        action.now = false;
        for (int code : action.codes)
            action.now = action.now || now[code] != 0;
    }
}
