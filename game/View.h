// The view that turns with the ship: the world is rotated about the player by minus the heading
// and drawn around the screen point of the player. Stars, bonus items, smoke, shots, the radar
// and the energy bar are drawn here.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/kernel/ParallelFor.h"
#include "runtime/SysUtils.h"

class TDXImageList;

inline constexpr Extended Pi = 3.14159265358979323846264338327950288L;

inline Extended DegreesToRadians(Extended degrees) { return degrees * Pi / 180; }

// A world point relative to a camera, turned by the heading: X to the right of the ship, Y
// ahead of it.
struct TViewOffset {
  Extended X, Y;
};
// The view transform under one heading: a pass that transforms many points works the heading's
// sine and cosine out once, when it makes the transform.
class TViewTransform {
 public:
  explicit TViewTransform(Extended heading);
  TViewOffset operator()(Real x, Real y, Real cameraX, Real cameraY) const;

 private:
  Extended FCos, FSin;
};
// The screen point of an offset: the player's screen point plus the offset (up on the screen for
// positive Y), shifted by a per-kind amount.
Integer ScreenX(const TViewOffset& offset, Integer shift);
Integer ScreenY(const TViewOffset& offset, Integer shift);

// The square of half side `range` about a camera, whose position is rounded once; a point is in
// it when strictly inside on all four sides. Integer positions compare as integers, real ones as
// reals.
struct TViewSquare {
  TViewSquare(Real cameraX, Real cameraY, Integer range)
      : Left(Round(cameraX) - range), Right(Round(cameraX) + range),
        Bottom(Round(cameraY) - range), Top(Round(cameraY) + range) {}

  template <typename Coordinate>
  bool Contains(Coordinate x, Coordinate y) const {
    return Left < x && x < Right && Bottom < y && y < Top;
  }

  Int64 Left, Right, Bottom, Top;
};

// The pictures a pass draws: items 0..Highest of List.
struct TPassPictures {
  TDXImageList* List;
  Integer Highest;
};
// Whether the list holds every picture of the pass, so that none of its draws can raise the
// list's index error.
bool HoldsAll(const TPassPictures& pictures);

// Takes the entries first..last of a table through a pass: `locate(i)` does entry i's own part
// of it (it writes entry i and nothing else, and reads nothing that a draw or another entry's
// locate writes: an enemy steers and moves, an explosion ages) and says where the entry is drawn,
// or nothing; `draw(place)` does the rest on this thread, in the entries' order, with whatever
// the pass writes beyond the entry.
//
// So locating every entry before drawing any gives what taking each entry through the whole pass
// before the next gives, and worker threads can locate stretch by stretch: the entries' own work
// and their view positions were most of the work of such a pass. That holds only while no draw
// raises, for a raise must leave every later entry untouched: when the list lacks a picture the
// pass may draw, each entry is located and drawn in turn on this thread.
template <typename Locate, typename Draw>
void LocateThenDraw(Integer first, Integer last, const TPassPictures& pictures,
                    const Locate& locate, const Draw& draw) {
  using TPlace = typename std::invoke_result_t<const Locate&, Integer>::value_type;
  if (!HoldsAll(pictures)) {
    for (Integer i = first; i <= last; ++i)
      if (std::optional<TPlace> place = locate(i)) draw(*place);
    return;
  }
  constexpr Integer kStretch = 256;
  const Integer stretchCount = last < first ? 0 : (last - first) / kStretch + 1;
  std::vector<std::vector<TPlace>> places(static_cast<size_t>(stretchCount));
  ParallelFor<Integer>(0, stretchCount, 1, [&](Integer stretch) {
    const Integer begin = first + stretch * kStretch;
    const Integer end = std::min(last, begin + (kStretch - 1));
    std::vector<TPlace>& found = places[static_cast<size_t>(stretch)];
    for (Integer i = begin; i <= end; ++i)
      if (std::optional<TPlace> place = locate(i)) found.push_back(*place);
  });
  for (const std::vector<TPlace>& stretch : places)
    for (const TPlace& place : stretch) draw(place);
}

// The angle, in 1/256 turns, at which a picture pointing at `angle` degrees is drawn.
Single ScreenAngle(Extended angle);

void DrawStars();
void DrawBonus();
void DrawSmoke();
void DrawShots();
void DrawEnemyShots();
void DrawRadar();
void DrawRadarBonusBlips();
void DrawRadarShotBlips();
void DrawRadarEnemyBlips();
void DrawRadarEnemyShotBlips();
void DrawEnergyBar();

// A line of text at (X, Y), white over whatever lies beneath.
void WriteTextLine(Integer X, Integer Y, const std::string& Text);
