#pragma once
// The descriptors a server needs for its workers and connections, checked
// against its limit before it serves: a server that runs out mid-way refuses
// requests and connections alike, so it starts only where they fit.

#include <cstddef>
#include <string>

namespace docserver {

// The descriptors the workers and connections take at most, with room
// for the process's own.
std::size_t DescriptorsNeeded(int workers, std::size_t connections);

// Raises the soft descriptor limit as far as the hard one allows; "" when
// the need fits it, else the refusal naming the figures and what to change.
std::string FitDescriptorLimit(int workers, std::size_t connections);

}  // namespace docserver
