#include "core/error.hpp"

#include <gtest/gtest.h>

namespace telm {
namespace {

struct RenderCase {
  TelmError error;
  ErrorKind kind;
  const char* text;
};

TEST(TelmError, RendersEveryKind) {
  using namespace errors;
  const RenderCase cases[] = {
      {InvalidDimension{1}, ErrorKind::InvalidDimension, "invalid subsystem dimension 1: must be \xE2\x89\xA5 2"},
      {SubsystemOutOfRange{5, 3}, ErrorKind::SubsystemOutOfRange, "subsystem index 5 out of range (system has 3 subsystems)"},
      {DimensionOverflow{}, ErrorKind::DimensionOverflow, "total Hilbert space dimension overflows usize"},
      {DimensionMismatch{4, 2}, ErrorKind::DimensionMismatch,
       "operator matrix size 4\xC3\x97" "4 is incompatible with target subspace dimension 2"},
      {TargetCountMismatch{1, 2}, ErrorKind::TargetCountMismatch, "operator targets 2 subsystem(s) but was defined for 1"},
      {ParameterIndexOutOfRange{7, 3}, ErrorKind::ParameterIndexOutOfRange,
       "parameter index 7 out of range (parameter vector length: 3)"},
      {ParameterCountMismatch{1, 0}, ErrorKind::ParameterCountMismatch, "gate requires 1 parameter(s) but 0 were supplied"},
      {InstructionSubsystemOutOfRange{4, 2}, ErrorKind::InstructionSubsystemOutOfRange,
       "circuit instruction references subsystem 4, which does not exist in the system (has 2 subsystems)"},
      {ChannelsUnsupported{}, ErrorKind::ChannelsUnsupported,
       "backend does not support channel application (use DensityMatrix backend)"},
      {OutputSlotOccupied{"e'0"}, ErrorKind::OutputSlotOccupied,
       "output slot 'e'0' is already occupied by a previous measurement"},
      {NotImplemented{"statevector backend currently supports qubit systems only"}, ErrorKind::NotImplemented,
       "not yet implemented: statevector backend currently supports qubit systems only"},
      {SubsystemOutOfRange{18446744073709551615u, 0}, ErrorKind::SubsystemOutOfRange,
       "subsystem index 18446744073709551615 out of range (system has 0 subsystems)"},
  };
  for (const RenderCase& c : cases) {
    EXPECT_EQ(c.error.kind(), c.kind) << c.text;
    EXPECT_EQ(c.error.message(), c.text);
  }
}

TEST(TelmError, ComparesByKindAndFields) {
  EXPECT_EQ(TelmError(errors::TargetCountMismatch{1, 2}), TelmError(errors::TargetCountMismatch{1, 2}));
  EXPECT_NE(TelmError(errors::TargetCountMismatch{1, 2}), TelmError(errors::TargetCountMismatch{2, 1}));
  EXPECT_NE(TelmError(errors::InvalidDimension{2}), TelmError(errors::SubsystemOutOfRange{2, 0}));
}

}  // namespace
}  // namespace telm
