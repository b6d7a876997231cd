// The player's ship: steered, thrust, braked and fired by the held input states; it sits at a
// fixed screen point while the view turns, leaves exhaust smoke and loses energy to enemy fire.
#pragma once

#include "runtime/SysUtils.h"

void TurnLeft();
void TurnRight();
void ThrustForward();
void ThrustBack();
void Fire();
// Once a frame, after the input: moves the ship and the far camera, lets speed and turn rate
// decay without input and turns the heading.
void MovePlayer();

void DrawShip();
// The energy bar follows the energy by one step per frame.
void UpdateShownEnergy();
void DamagePlayer(Integer Amount);

// The bank picture 0..HighestBankFrame for a turn rate: 20 in level flight, one step per 0.05
// degrees per frame, 40 and 0 beyond +-1.
inline constexpr Integer HighestBankFrame = 40;
Integer TurnRateBankFrame(Extended r);
