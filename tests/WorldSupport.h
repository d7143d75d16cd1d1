#ifndef TREL_WORLD_SUPPORT_H
#define TREL_WORLD_SUPPORT_H

#include <functional>
#include <string>
#include <vector>

#include "trel.h"

using fixedpoint::fix16;
using Vec = vmath::vec2<fix16>;

// An object that writes each hook call, move and deletion into a shared journal, and can run
// an action inside any hook.
class Recorder : public TrelObject {
public:
    using Action = std::function<void(Recorder&)>;

    Recorder(TrelLayer* home, std::vector<std::string>& log, std::string called, fix16 x = fix16(),
             fix16 y = fix16())
        : TrelObject(home, x, y, fix16(8), fix16(8)), journal(log), name(std::move(called)) {}
    ~Recorder() override { journal.push_back(name + ".deleted"); }

    void onDraw(BITMAP*) override { record("draw", onDrawAction); }
    void onPreProcess() override { record("pre", onPre); }
    void onProcess() override { record("proc", onProc); }
    void onPostProcess() override { record("post", onPost); }

    Action onDrawAction, onPre, onProc, onPost;
    std::vector<std::string>& journal;
    std::string name;

private:
    void record(const char* hook, Action& action) {
        journal.push_back(name + "." + hook);
        if (action)
            action(*this);
    }
};

#endif
