#include "circuit/executor.hpp"

#include "core/invariant.hpp"

namespace telm {
namespace {

Status check_shape(const SystemDescription& circuit_system, const SystemDescription& backend_system) {
  const std::uint64_t count = circuit_system.n_subsystems();
  if (backend_system.n_subsystems() != count) {
    return fail(errors::TargetCountMismatch{.expected = count, .given = backend_system.n_subsystems()});
  }
  const std::vector<Subsystem>& expected = circuit_system.subsystems();
  const std::vector<Subsystem>& actual = backend_system.subsystems();
  for (std::uint64_t i = 0; i < count; ++i) {
    if (expected[i].dim != actual[i].dim) {
      return fail(errors::InstructionSubsystemOutOfRange{.subsystem = i, .count = count});
    }
  }
  return {};
}

}  // namespace

Result<std::vector<double>> resolve_local_params(const ParamSpec& spec, std::span<const double> parameters) {
  std::vector<double> local;
  local.reserve(spec.required_count());
  for (std::uint64_t index : spec.indices()) {
    if (index >= parameters.size()) {
      return fail(errors::ParameterIndexOutOfRange{.index = index, .length = parameters.size()});
    }
    local.push_back(parameters[index]);
  }
  return local;
}

Result<CircuitResults> CircuitExecutor::run(const Circuit& circuit, Backend& backend,
                                            std::span<const double> parameters) {
  TELM_TRY(check_shape(circuit.system(), backend.system()));
  CircuitResults results;
  for (const CircuitInstruction& instruction : circuit.instructions()) {
    if (const ApplyOperator* apply = instruction.as_apply()) {
      TELM_EXPECT(apply->op != nullptr, fail(errors::NotImplemented{"circuit instruction without an operator"}));
      TELM_ASSIGN_OR_RETURN(const std::vector<double> local, resolve_local_params(apply->op->param_spec(), parameters));
      TELM_TRY(backend.apply_operator_with_params(*apply->op, apply->targets, local));
      continue;
    }
    const MeasureExpectation& measure = *instruction.as_measure();
    if (results.contains(measure.label)) return fail(errors::OutputSlotOccupied{.label = measure.label});
    TELM_EXPECT(measure.observable != nullptr,
                fail(errors::NotImplemented{"circuit measurement without an observable"}));
    TELM_ASSIGN_OR_RETURN(const std::vector<double> local,
                          resolve_local_params(measure.observable->param_spec(), parameters));
    TELM_ASSIGN_OR_RETURN(const double value,
                          backend.expectation_value_with_params(*measure.observable, measure.targets, local));
    results.emplace(measure.label, value);
  }
  return results;
}

}  // namespace telm
