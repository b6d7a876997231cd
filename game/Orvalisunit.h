// The program's main form: the borderless window the display fills, the components stored with
// it, and the handlers through which the frame timer starts a new game at each activation and
// runs one frame at each tick.
#pragma once

#include <span>

#include "display/DXDraw.h"
#include "display/DXTimer.h"
#include "display/ImageList.h"
#include "input/DXInput.h"
#include "runtime/Forms.h"

class TOrvalisMain : public TForm {
  ORVALIS_CLASS(TOrvalisMain, TForm)

  // Reads the stored settings, which make the form's components.
  explicit TOrvalisMain(TComponent* AOwner);

  TDXDraw* DXDraw = nullptr;
  TDXImageList* Stars1 = nullptr;  // both star layers
  TDXTimer* DXTimer1 = nullptr;
  TDXImageList* Ship1 = nullptr;  // one picture per bank frame
  TDXInput* DXInput1 = nullptr;
  TDXImageList* Weapons = nullptr;
  TDXImageList* radar = nullptr;  // blips and the radar frame
  TDXImageList* abgas = nullptr;  // exhaust smoke
  TDXImageList* Bonus = nullptr;
  TDXImageList* Enemy = nullptr;  // one picture per bank frame
  TDXImageList* Explosion = nullptr;
  TDXImageList* Energy = nullptr;  // one picture per energy value
  TDXImageList* energy_rahmen = nullptr;  // stored with the form, never loaded or drawn
  TDXImageList* enemy_weapons = nullptr;

  // A new game, at every activation of the application.
  void DXTimer1Activate(TObject* Sender);
  void DXDrawInitialize(TObject* Sender);
  void DXDrawFinalize(TObject* Sender);
  // One frame per tick, however late the tick comes.
  void DXTimer1Timer(TObject* Sender, Integer LagCount);
  void DXDrawFinalizeSurface(TObject* Sender);
};

extern TOrvalisMain* OrvalisMain;

// One step of a frame; its name tells the steps apart where a frame's time is split up.
struct TFramePass {
  const char* Name;
  void (*Run)();
};
extern const std::span<const TFramePass> FramePasses;

// One frame of the game: simulate, draw, present, then read the input and move the player.
void GameFrame();
