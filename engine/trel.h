#ifndef TREL_H
#define TREL_H

// The one header a game includes: every public class and function of trel0 but the Tiled
// map reader, whose header a game includes where it reads maps: <map/TrelTiledMap.h>
// (TrelSystem::newZoneFromMap needs no header of its own).
#include "anim/TrelAnimation.h"
#include "anim/TrelAnimator.h"
#include "anim/TrelTileAnimation.h"
#include "aseprite/TrelAsepriteSheet.h"
#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"
#include "base/TrelCString.h"
#include "base/TrelExport.h"
#include "base/TrelLoadLimits.h"
#include "core/TrelInterface.h"
#include "core/TrelSystem.h"
#include "gfx/TrelIGfx.h"
#include "headless/TrelHeadlessRun.h"
#include "input/TrelInput.h"
#include "math/FixedMath.h"
#include "math/FixedPoint.h"
#include "math/Vec2.h"
#include "motion/TrelMover.h"
#include "motion/TrelOverlaps.h"
#include "motion/TrelTileShapes.h"
#include "replay/TrelPlayer.h"
#include "replay/TrelRecorder.h"
#include "scene/TrelScene.h"
#include "scene/TrelSceneStack.h"
#include "scene/TrelTransition.h"
#include "sound/TrelAudio.h"
#include "sound/TrelMixer.h"
#include "sound/TrelMusic.h"
#include "sound/TrelSound.h"
#include "sound/TrelWavWriter.h"
#include "world/TrelLayer.h"
#include "world/TrelObject.h"
#include "world/TrelState.h"
#include "world/TrelZone.h"

#endif
