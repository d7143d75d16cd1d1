#include "Scenes.h"

#include <allegro.h>

#include <string>

#include "Caption.h"
#include "Hopper.h"
#include "Level.h"
#include "Progress.h"
#include "Scoreboard.h"

namespace {

Hopper* hero = nullptr;
int score = 0;

// guide: scenes
// Each scene's build fills the new zone, system.zone, as any zone is filled; the sounds it
// starts stop when the scene is left.
void buildTitle(TrelSystem& game, void*) {
    game.zone->setBackgroundColor(0x203040);
    new Caption(game.zone->getHud(), 100, "HOPPER\n\nEnter: a new game", KEY_ENTER,
                [](TrelSystem& g) { g.switchScene(playScene, TrelTransition::fade(20)); });
    new Caption(game.zone->getHud(), 136, "C: continue", KEY_C,
                [](TrelSystem& g) { g.switchScene(continueScene, TrelTransition::fade(20)); });
}

void buildPlay(TrelSystem& game, void*) {
    int coins = 0;
    hero = startLevel(game, &coins);
    hero->checkpoint = saveCheckpoint;
    new Scoreboard(
        game.zone->getHud(), hero, coins, [](TrelSystem& g) { g.pushScene(pauseScene); },
        [](TrelSystem& g) {
            score = hero->score;
            g.switchScene(gameOverScene, TrelTransition::fade(30));
        });
}

// The level as the last save left it, or a new game when there is none.
void buildContinue(TrelSystem& game, void*) {
    buildPlay(game, nullptr);
    continueFromSave(hero);
}

// Over the level, which stands still, dimmed, with its tune paused, until P is pressed again.
void buildPause(TrelSystem& game, void*) {
    new Caption(game.zone->getHud(), 110, "Paused\n\nP to play on", KEY_P,
                [](TrelSystem& g) { g.popScene(); });
}

void buildGameOver(TrelSystem& game, void*) {
    game.audio.mixer.stopMusic();
    hopperSaves().erase("progress"); // every coin taken: the next game starts anew
    game.zone->setBackgroundColor(0x000000);
    const std::string text = "Every coin: " + std::to_string(score) + "\n\nPress Enter";
    new Caption(game.zone->getHud(), 100, text, KEY_ENTER,
                [](TrelSystem& g) { g.switchScene(titleScene, TrelTransition::fade(20)); });
}

TrelScene makePause() {
    TrelScene scene("pause", buildPause);
    scene.dimAlpha = 128; // the level shows through, half dark
    scene.pausesMusic = true;
    return scene;
}
// guide: end

} // namespace

const TrelScene titleScene("title", buildTitle);
const TrelScene playScene("play", buildPlay);
const TrelScene continueScene("continue", buildContinue);
const TrelScene pauseScene = makePause();
const TrelScene gameOverScene("game over", buildGameOver);

// guide: setup
void configureHopper(TrelSystem& game) {
    game.setName("Hopper");
    game.screenWidth = 320;
    game.screenHeight = 240;
    game.screenScale = 2;
    game.framerate = 60;
    startSaves(game); // the settings the player chose, over these
}

void startHopper(TrelSystem& game) {
    game.switchScene(titleScene);
}
// guide: end

Hopper* playingHero() {
    return hero;
}

int lastScore() {
    return score;
}
