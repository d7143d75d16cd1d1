#ifndef TREL_SCENE_STACK_H
#define TREL_SCENE_STACK_H

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "base/TrelExport.h"
#include "scene/TrelScene.h"
#include "scene/TrelTransition.h"

class TrelZone;

// The scenes of a game, held as TrelSystem::scenes: the covered ones (each a zone, frozen,
// under the current zone, TrelSystem::zone), the scene changes asked for and not yet made, and
// the fade of a transition. TrelSystem makes the changes at tick boundaries; the renderer reads
// what to draw under the current zone and over it. Games read it; they change it through
// TrelSystem::switchScene, pushScene and popScene.
class TREL_API TrelSceneStack {
public:
    TrelSceneStack() = default;
    ~TrelSceneStack(); // deletes the covered zones left (TrelSystem clears them earlier)
    TrelSceneStack(const TrelSceneStack&) = delete;
    TrelSceneStack& operator=(const TrelSceneStack&) = delete;

    // The scenes under the current one, the lowest first; each zone is owned here.
    int getCoveredCount() const { return static_cast<int>(covered.size()); }
    // Null for an index outside them.
    TrelZone* getCovered(int index) const;
    // How the scene above the covered one at index shows it (showsBelow, dimColor, dimAlpha).
    const TrelScene* getCover(int index) const;
    // The index of the lowest covered scene drawn: every scene above it shows the one below.
    // getCoveredCount() when none is.
    int getFirstShown() const;
    // The name of the current scene ("" before the first scene is made).
    const char* getSceneName() const { return currentName.c_str(); }

    // Whether a transition is fading the screen, or a change waits to be made.
    bool isFading() const { return phase != kNoFade; }
    bool isChanging() const { return isFading() || !requests.empty(); }
    // How opaque the fade is on this tick's frame, 0 to 255, and its colour.
    int getFadeAlpha(int& rgb) const;

    // What the rest is for: TrelSystem's changes and ticks.
    enum Change { kSwitch, kPush, kPop };
    struct Request {
        Change change;
        TrelScene scene;
        std::string name; // scene.name, copied
        TrelTransition transition;
        bool fadedOut; // the fade out before this switch is over
    };
    void request_(Change change, const TrelScene& scene, const TrelTransition& transition);
    bool hasRequest_() const { return !requests.empty(); }
    Request& frontRequest_() { return requests.front(); }
    void dropRequest_() { requests.pop_front(); }
    void dropRequests_() { requests.clear(); }

    void cover_(TrelZone* zone, const TrelScene& above);
    // Covers the current scene's zone (owned here from now on) with the scene above.
    // uncover_ hands the covered zone on top back (null when none), with the scene that was
    // above it, and makes its scene's name current again.
    TrelZone* uncover_(TrelScene& above);
    void setSceneName_(const char* name) { currentName = name != nullptr ? name : ""; }

    // Starts fading out (then ticks, out, of the transition) or in.
    void startFade_(bool out, const TrelTransition& transition);
    // Called at the start of each tick: one more tick of the fade.
    void stepFade_();
    // Whether the fade out is over (or none is running), so that the switch can be made.
    bool fadedOut_() const { return phase != kFadeOut || fadeTicks >= fadeLength; }
    // Whether the current scene's logic runs on this tick.
    bool runsLogic_() const { return phase == kNoFade || runsDuring; }

private:
    enum Phase { kNoFade, kFadeOut, kFadeIn };
    struct Covered {
        TrelZone* zone;   // owned
        TrelScene above;  // its name left empty: only the showing is kept
        std::string name; // the covered scene's own
    };
    std::vector<Covered> covered;
    std::deque<Request> requests;
    std::string currentName;
    Phase phase = kNoFade;
    int fadeTicks = 0;
    int fadeLength = 0;
    int fadeColor = 0;
    bool runsDuring = false;
};

#endif
