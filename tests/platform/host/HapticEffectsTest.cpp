#include "platform/host/sdl/HapticEffects.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr DWORD kEndless = 0xFFFFFFFF;

template <typename Block>
PlayedEffect Played(const GUID& kind, const Block& block, std::vector<int32_t> axes = {0, 1}) {
  PlayedEffect effect{kind, {}, std::move(axes), -1};
  EffectParameters& parameters = effect.parameters;
  parameters.flags = DIEFF_OBJECTOFFSETS | DIEFF_CARTESIAN;
  parameters.duration = 1500000;
  for (size_t axis = 0; axis < effect.axes.size(); ++axis) parameters.axes.push_back(4 * axis);
  parameters.typeSpecific.resize(sizeof(Block));
  std::memcpy(parameters.typeSpecific.data(), &block, sizeof(Block));
  return effect;
}

TEST(HapticEffectsTest, EachKindBecomesItsSdlTypeAndTheSquareWaveNothing) {
  const DIPERIODIC wave{10000, 0, 0, 100000};
  const DICONDITION condition{0, 10000, 10000, 10000, 10000, 0};
  const struct {
    const GUID* kind;
    Uint16 type;
  } kinds[] = {{&GUID_Sine, SDL_HAPTIC_SINE},           {&GUID_Triangle, SDL_HAPTIC_TRIANGLE},
               {&GUID_SawtoothUp, SDL_HAPTIC_SAWTOOTHUP}, {&GUID_SawtoothDown, SDL_HAPTIC_SAWTOOTHDOWN},
               {&GUID_Spring, SDL_HAPTIC_SPRING},         {&GUID_Damper, SDL_HAPTIC_DAMPER},
               {&GUID_Inertia, SDL_HAPTIC_INERTIA},       {&GUID_Friction, SDL_HAPTIC_FRICTION}};
  for (const auto& kind : kinds) {
    const bool periodic = kind.type <= SDL_HAPTIC_SAWTOOTHDOWN;
    const auto effect = periodic ? HapticEffectFor(Played(*kind.kind, wave))
                                 : HapticEffectFor(Played(*kind.kind, condition));
    ASSERT_TRUE(effect) << kind.type;
    EXPECT_EQ(effect->type, kind.type);
  }
  EXPECT_EQ(HapticEffectFor(Played(GUID_ConstantForce, DICONSTANTFORCE{1}))->type,
            SDL_HAPTIC_CONSTANT);
  EXPECT_EQ(HapticEffectFor(Played(GUID_RampForce, DIRAMPFORCE{1, 2}))->type, SDL_HAPTIC_RAMP);
  EXPECT_FALSE(HapticEffectFor(Played(GUID_Square, wave)));
  EXPECT_FALSE(HapticTypeFor(GUID_Square));
  EXPECT_FALSE(HapticEffectFor(Played(GUID_XAxis, wave))) << "not an effect";
  // A block that does not fit its kind is refused, not read past its end.
  EXPECT_FALSE(HapticEffectFor(Played(GUID_Sine, DICONSTANTFORCE{1})));
  EXPECT_FALSE(HapticEffectFor(Played(GUID_ConstantForce, wave)));
  EXPECT_FALSE(HapticEffectFor(Played(GUID_Spring, wave)));
}

TEST(HapticEffectsTest, ReplayTriggerEnvelopeAndGainCarryOverInSdlUnits) {
  PlayedEffect played = Played(GUID_ConstantForce, DICONSTANTFORCE{10000});
  EffectParameters& parameters = played.parameters;
  parameters.gain = 5000;
  parameters.startDelay = 250000;
  parameters.triggerRepeatInterval = 40000;
  played.triggerButton = 2;
  parameters.hasEnvelope = true;
  parameters.envelope = {20, 10000, 200000, 2000, 100000};
  SDL_HapticConstant constant = HapticEffectFor(played)->constant;
  EXPECT_EQ(constant.length, 1500u);
  EXPECT_EQ(constant.delay, 250);
  EXPECT_EQ(constant.button, 3) << "SDL counts buttons from 1";
  EXPECT_EQ(constant.interval, 40);
  EXPECT_EQ(constant.level, 16383) << "full force at half gain";
  EXPECT_EQ(constant.attack_length, 200);
  EXPECT_EQ(constant.attack_level, 16383);
  EXPECT_EQ(constant.fade_length, 100);
  EXPECT_EQ(constant.fade_level, 3276);

  parameters.gain = DI_FFNOMINALMAX;
  parameters.hasEnvelope = false;
  parameters.duration = kEndless;
  parameters.startDelay = 90000000;  // beyond what SDL can hold
  played.triggerButton = -1;
  const DICONSTANTFORCE pull{-3000};
  std::memcpy(parameters.typeSpecific.data(), &pull, sizeof(pull));
  constant = HapticEffectFor(played)->constant;
  EXPECT_EQ(constant.length, SDL_HAPTIC_INFINITY);
  EXPECT_EQ(constant.delay, 0x7FFF);
  EXPECT_EQ(constant.button, 0) << "no trigger";
  EXPECT_EQ(constant.level, -9830);
  EXPECT_EQ(constant.attack_length, 0) << "no envelope";
  EXPECT_EQ(constant.fade_level, 0);
}

// SDL reads an attack time of 0 together with a fade level of 0 as "no envelope".
TEST(HapticEffectsTest, AFadeToSilenceWithoutAnAttackStillFades) {
  PlayedEffect played = Played(GUID_ConstantForce, DICONSTANTFORCE{10000});
  played.parameters.hasEnvelope = true;
  played.parameters.envelope = {20, 0, 0, 0, 300000};
  SDL_HapticConstant constant = HapticEffectFor(played)->constant;
  EXPECT_EQ(constant.attack_length, 0);
  EXPECT_EQ(constant.fade_length, 300);
  EXPECT_EQ(constant.fade_level, 1) << "the least level SDL does not take for no envelope";

  // A quiet fade level that the gain brings down to nothing fades just as far.
  PlayedEffect wave = Played(GUID_Sine, DIPERIODIC{10000, 0, 0, 100000});
  wave.parameters.gain = 1000;
  wave.parameters.hasEnvelope = true;
  wave.parameters.envelope = {20, 0, 0, 2, 200000};
  const SDL_HapticPeriodic periodic = HapticEffectFor(wave)->periodic;
  EXPECT_EQ(periodic.fade_length, 200);
  EXPECT_EQ(periodic.fade_level, 1);

  // With an attack SDL plays the envelope anyway; without a fade there is nothing to keep.
  played.parameters.envelope = {20, 5000, 100000, 0, 300000};
  constant = HapticEffectFor(played)->constant;
  EXPECT_EQ(constant.attack_length, 100);
  EXPECT_EQ(constant.fade_level, 0);
  played.parameters.envelope = {20, 5000, 0, 0, 0};
  constant = HapticEffectFor(played)->constant;
  EXPECT_EQ(constant.attack_length, 0);
  EXPECT_EQ(constant.fade_level, 0);
}

TEST(HapticEffectsTest, PeriodicAndRampEffectsKeepTheirShape) {
  PlayedEffect wave = Played(GUID_Triangle, DIPERIODIC{8000, -2000, 9000, 250000});
  wave.parameters.hasEnvelope = true;
  wave.parameters.envelope = {20, 0, 0, 10000, 50000};
  SDL_HapticPeriodic periodic = HapticEffectFor(wave)->periodic;
  EXPECT_EQ(periodic.magnitude, 26213);
  EXPECT_EQ(periodic.offset, -6553);
  EXPECT_EQ(periodic.phase, 9000);
  EXPECT_EQ(periodic.period, 250);
  EXPECT_EQ(periodic.fade_length, 50);
  EXPECT_EQ(periodic.fade_level, 32767);
  EXPECT_EQ(HapticEffectFor(Played(GUID_Sine, DIPERIODIC{1, 0, 99999, 0}))->periodic.phase, 35999);

  PlayedEffect ramp = Played(GUID_RampForce, DIRAMPFORCE{-10000, 5000});
  ramp.parameters.duration = kEndless;
  const SDL_HapticRamp shown = HapticEffectFor(ramp)->ramp;
  EXPECT_EQ(shown.start, -32767);
  EXPECT_EQ(shown.end, 16383);
  EXPECT_EQ(shown.length, 0x7FFFu) << "SDL plays no endless ramp; it lasts as long as it can";
}

TEST(HapticEffectsTest, DirectionsGoToTheJoysticksOwnAxes) {
  PlayedEffect played = Played(GUID_ConstantForce, DICONSTANTFORCE{100}, {1, 0});
  played.parameters.direction = {-3, -4};  // Y first, then X
  SDL_HapticDirection direction = HapticEffectFor(played)->constant.direction;
  EXPECT_EQ(direction.type, SDL_HAPTIC_CARTESIAN);
  EXPECT_EQ(direction.dir[0], -4);
  EXPECT_EQ(direction.dir[1], -3);
  EXPECT_EQ(direction.dir[2], 0);

  played.parameters.flags = DIEFF_OBJECTOFFSETS | DIEFF_POLAR;
  played.parameters.direction = {27000, 0};
  direction = HapticEffectFor(played)->constant.direction;
  EXPECT_EQ(direction.type, SDL_HAPTIC_POLAR);
  EXPECT_EQ(direction.dir[0], 27000);

  played.parameters.flags = DIEFF_OBJECTOFFSETS | DIEFF_SPHERICAL;
  played.parameters.direction = {4500, 0};
  direction = HapticEffectFor(played)->constant.direction;
  EXPECT_EQ(direction.type, SDL_HAPTIC_SPHERICAL);
  EXPECT_EQ(direction.dir[0], 4500);

  // On one axis the force pushes along it, whatever direction was given.
  PlayedEffect single = Played(GUID_Sine, DIPERIODIC{100, 0, 0, 1000}, {1});
  single.parameters.direction = {-7};
  direction = HapticEffectFor(single)->periodic.direction;
  EXPECT_EQ(direction.type, SDL_HAPTIC_CARTESIAN);
  EXPECT_EQ(direction.dir[0], 0);
  EXPECT_EQ(direction.dir[1], 1);
}

TEST(HapticEffectsTest, ConditionsApplyPerAxisWithGainOnForcesOnly) {
  const DICONDITION perAxis[2] = {{1000, 10000, -5000, 10000, 5000, 2000},
                                  {-1000, 2000, 3000, 0, 10000, 10000}};
  PlayedEffect played = Played(GUID_Damper, perAxis, {1, 0});
  played.parameters.gain = 5000;
  played.parameters.duration = kEndless;
  const SDL_HapticCondition condition = HapticEffectFor(played)->condition;
  EXPECT_EQ(condition.length, SDL_HAPTIC_INFINITY);
  // The first block belongs to the effect's first axis, the joystick's Y.
  EXPECT_EQ(condition.right_coeff[1], 16383);
  EXPECT_EQ(condition.left_coeff[1], -8191);
  EXPECT_EQ(condition.right_sat[1], 32767);
  EXPECT_EQ(condition.left_sat[1], 16383);
  EXPECT_EQ(condition.deadband[1], 13107) << "a position: no gain";
  EXPECT_EQ(condition.center[1], 3276) << "a position: no gain";
  EXPECT_EQ(condition.right_coeff[0], 3276);
  EXPECT_EQ(condition.left_coeff[0], 4915);
  EXPECT_EQ(condition.right_sat[0], 0);
  EXPECT_EQ(condition.left_sat[0], 32767);
  EXPECT_EQ(condition.deadband[0], 65535);
  EXPECT_EQ(condition.center[0], -3276);
  EXPECT_EQ(condition.right_coeff[2], 0) << "no third axis";

  // One block serves every axis.
  const SDL_HapticCondition shared =
      HapticEffectFor(Played(GUID_Spring, perAxis[0], {0, 1}))->condition;
  EXPECT_EQ(shared.right_coeff[0], 32767);
  EXPECT_EQ(shared.right_coeff[1], 32767);
  EXPECT_EQ(shared.center[1], 3276);
  // Neither one block nor one per axis: refused.
  EXPECT_FALSE(HapticEffectFor(Played(GUID_Spring, perAxis, {0})));
}

}  // namespace
