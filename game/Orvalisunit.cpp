#include "game/Orvalisunit.h"

#include <sstream>
#include <string>

#include "game/Enemies.h"
#include "game/GameState.h"
#include "game/NewGame.h"
#include "game/Player.h"
#include "game/View.h"
#include "input/Keyboard.h"
#include "platform/kernel/ParallelFor.h"
#include "runtime/TypInfo.h"

TOrvalisMain* OrvalisMain = nullptr;

namespace {

// The form's stored settings; the image lists' blocks (all alike) are filled in by
// StoredSettings.
constexpr const char* kStoredSettings = R"(
object OrvalisMain: TOrvalisMain
  BorderStyle = bsNone
  Caption = 'OrvalisMain'
  ClientHeight = 281
  ClientWidth = 480
  object DXDraw: TDXDraw
    Left = 0
    Top = 0
    Width = 480
    Height = 281
    AutoInitialize = True
    AutoSize = True
    Color = clBlack
    Display.BitCount = 32
    Display.FixedBitCount = True
    Display.FixedRatio = True
    Display.FixedSize = False
    Display.Height = 768
    Display.Width = 1024
    Options = [doFullScreen, doAllowReboot, doWaitVBlank, doCenter, do3D, doDirectX7Mode,
      doRetainedMode, doHardware, doSelectDriver]
    SurfaceHeight = 281
    SurfaceWidth = 480
    OnFinalize = DXDrawFinalize
    OnFinalizeSurface = DXDrawFinalizeSurface
    OnInitialize = DXDrawInitialize
    Align = alClient
  end
@Stars1
  object DXTimer1: TDXTimer
    ActiveOnly = True
    Enabled = False
    Interval = 33
    OnActivate = DXTimer1Activate
    OnTimer = DXTimer1Timer
  end
@Ship1
@DXInput1
@Weapons
@radar
@abgas
@Bonus
@Enemy
@Explosion
@Energy
@energy_rahmen
@enemy_weapons
end
)";

// Bytes as a binary block of the settings text.
std::string HexBlock(const void* data, size_t size) {
  std::string hex;
  for (size_t i = 0; i < size; ++i) hex += IntToHex(static_cast<const BYTE*>(data)[i], 2);
  return "{" + hex + "}";
}

// Keyboard and joystick, the mouse off; the keys are the keyboard's own defaults, and each
// device keeps the empty tree of force-feedback effects it is made with.
std::string InputSettings() {
  const TKeyAssignTable assigns = DefaultKeyAssigns();
  return R"(  object DXInput1: TDXInput
    ActiveOnly = True
    UseDirectInput = True
    Joystick.BindInputStates = True
    Joystick.Enabled = True
    Joystick.ForceFeedback = False
    Joystick.AutoCenter = True
    Joystick.ID = 0
    Joystick.DeadZoneX = 50
    Joystick.DeadZoneY = 50
    Joystick.DeadZoneZ = 50
    Joystick.RangeX = 1000
    Joystick.RangeY = 1000
    Joystick.RangeZ = 1000
    Keyboard.BindInputStates = True
    Keyboard.Enabled = True
    Keyboard.ForceFeedback = False
    Keyboard.Assigns = )" +
         HexBlock(assigns.data(), sizeof(assigns)) + R"(
    Mouse.BindInputStates = False
    Mouse.Enabled = False
    Mouse.ForceFeedback = False
  end
)";
}

// An image list bound to the display, with no pictures until the game loads them; its colour
// table is stored all zero.
std::string ImageListSettings(const std::string& name) {
  const TColorTable colors{};
  return "  object " + name + ": TDXImageList\n    DXDraw = DXDraw\n    Items.ColorTable = " +
         HexBlock(colors.data(), sizeof(colors)) + "\n  end\n";
}

// The stored settings with each "@Name" line replaced by that component's block.
std::string StoredSettings() {
  std::string text;
  std::istringstream lines(kStoredSettings);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("@DXInput1"))
      text += InputSettings();
    else if (line.starts_with("@"))
      text += ImageListSettings(line.substr(1));
    else
      text += line + "\n";
  }
  return text;
}

}  // namespace

const TClassInfo& TOrvalisMain::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TOrvalisMain>(
      {},
      {
          PublishedMethod<&TOrvalisMain::DXTimer1Activate>("DXTimer1Activate"),
          PublishedMethod<&TOrvalisMain::DXDrawInitialize>("DXDrawInitialize"),
          PublishedMethod<&TOrvalisMain::DXDrawFinalize>("DXDrawFinalize"),
          PublishedMethod<&TOrvalisMain::DXTimer1Timer>("DXTimer1Timer"),
          PublishedMethod<&TOrvalisMain::DXDrawFinalizeSurface>("DXDrawFinalizeSurface"),
      },
      {
          PublishedField("DXDraw", &TOrvalisMain::DXDraw),
          PublishedField("Stars1", &TOrvalisMain::Stars1),
          PublishedField("DXTimer1", &TOrvalisMain::DXTimer1),
          PublishedField("Ship1", &TOrvalisMain::Ship1),
          PublishedField("DXInput1", &TOrvalisMain::DXInput1),
          PublishedField("Weapons", &TOrvalisMain::Weapons),
          PublishedField("radar", &TOrvalisMain::radar),
          PublishedField("abgas", &TOrvalisMain::abgas),
          PublishedField("Bonus", &TOrvalisMain::Bonus),
          PublishedField("Enemy", &TOrvalisMain::Enemy),
          PublishedField("Explosion", &TOrvalisMain::Explosion),
          PublishedField("Energy", &TOrvalisMain::Energy),
          PublishedField("energy_rahmen", &TOrvalisMain::energy_rahmen),
          PublishedField("enemy_weapons", &TOrvalisMain::enemy_weapons),
      });
  return info;
}

TOrvalisMain::TOrvalisMain(TComponent* AOwner) : TForm(AOwner) {
  RegisterClasses({&TDXDraw::StaticClassInfo(), &TDXTimer::StaticClassInfo(),
                   &TDXImageList::StaticClassInfo(), &TDXInput::StaticClassInfo()});
  ReadFormText(StoredSettings());
}

void TOrvalisMain::DXTimer1Activate(TObject*) {
  // No pointer over the display.
  DXDraw->SetCursor(crNone);
  // A whole new game; the two drawings only paint the back surface, nothing is presented.
  InitGame();
  InitStars();
  DrawStars();
  InitBonus();
  SpawnShips();
  DrawBonus();
}

void TOrvalisMain::DXDrawInitialize(TObject*) { DXTimer1->SetEnabled(true); }

void TOrvalisMain::DXDrawFinalize(TObject*) { DXTimer1->SetEnabled(false); }

void TOrvalisMain::DXTimer1Timer(TObject*, Integer) { GameFrame(); }

void TOrvalisMain::DXDrawFinalizeSurface(TObject*) {}

// ---- One frame ----

namespace {

void CountDownCooldowns() {
  if (FireCooldown > 0) --FireCooldown;
  // Every enemy's count is its own: they count down side by side on worker threads.
  ParallelFor<Integer>(1, EnemyCount + 1, 4096, [](Integer i) {
    if (EnemyShip[i].FireCooldown > 0) --EnemyShip[i].FireCooldown;
  });
  if (SmokeCooldown > 0) --SmokeCooldown;
}

// Every held state acts, in this order, so opposite states can cancel within one frame.
void ApplyHeldStates() {
  OrvalisMain->DXInput1->Update();
  const TInputStates states = OrvalisMain->DXInput1->States();
  if (states.Contains(StateLeft)) TurnLeft();
  if (states.Contains(StateRight)) TurnRight();
  if (states.Contains(StateUp)) ThrustForward();
  if (states.Contains(StateDown)) ThrustBack();
  if (states.Contains(StateButton1)) Fire();
}

// The passes of a frame, in order. Each table is drawn before it moves, so the presented picture
// shows the world as the frame found it, except for enemies that shots destroyed on the way; the
// player's input and move come after the flip.
const TFramePass FramePassTable[] = {
    {"stars",
     [] {
       ++NearStarTick;
       ++FarStarTick;
       DrawStars();
       DrawBonus();
       if (++BlipFrame == 6) BlipFrame = 0;
     }},
    {"smoke",
     [] {
       if (SmokeCount == 0) return;
       ++SmokeAnimTick;
       DrawSmoke();
       MoveSmoke();
     }},
    {"enemy shots",
     [] {
       if (EnemyShotCount == 0) return;
       ++EnemyShotAnimTick;
       DrawEnemyShots();
       MoveEnemyShots();
     }},
    {"shots",
     [] {
       if (ShotCount == 0) return;
       ++ShotAnimTick;
       DrawShots();
       MoveShots();
     }},
    {"enemies",
     [] {
       if (EnemyCount > 0) UpdateEnemies();
     }},
    {"explosions",
     [] {
       if (ExplosionCount > 0) UpdateExplosions();
     }},
    {"ship",
     [] {
       DrawShip();
       UpdateShownEnergy();
       DrawEnergyBar();
     }},
    {"radar", DrawRadar},
    {"text",
     [] {
       // Nothing separates the explosion count from its word.
       WriteTextLine(0, 0,
                     "FPS: " + IntToStr(OrvalisMain->DXTimer1->FrameRate()) + ", Explosions" +
                         IntToStr(ExplosionCount));
     }},
    {"present", [] { OrvalisMain->DXDraw->Flip(); }},
    {"player",
     [] {
       CountDownCooldowns();
       ApplyHeldStates();
       MovePlayer();
     }},
};

}  // namespace

constinit const std::span<const TFramePass> FramePasses(FramePassTable);

// GameFrame: runs at every timer tick. Reads and writes the whole game state, pass by pass.
void GameFrame() {
  for (const TFramePass& pass : FramePasses) pass.Run();
}
