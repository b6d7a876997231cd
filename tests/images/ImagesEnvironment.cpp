// The image unit starts before the tests and ends after them, as in the program.
#include <gtest/gtest.h>

#include "images/DIB.h"

namespace {

class ImagesUnit : public ::testing::Environment {
 public:
  void SetUp() override { ImagesUnitInitialize(); }
  void TearDown() override { ImagesUnitFinalize(); }
};

const auto* const kImagesUnit = ::testing::AddGlobalTestEnvironment(new ImagesUnit);

}  // namespace
