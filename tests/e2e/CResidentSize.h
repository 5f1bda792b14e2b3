// The resident size of a process and the floor under its swings, for the memory benchmarks:
// the size swings by megabytes with the frames and queues in use and what the allocator keeps
// for a while, so a leak shows as a rising floor (the lowest sample of each block), not as a
// rising sample.
#pragma once

#include <QtGlobal>

#include <utility>
#include <vector>

namespace CResidentSize {
// Resident size of a process in KB, from /proc; 0 when it cannot be read.
long Kb(qint64 nPid);
// Growth per unit of x in KB by least squares over the floors (x, KB).
double SlopeKb(const std::vector<std::pair<int, long>> &floors);
// The median of floors[nFrom, nTo) in KB.
long MedianKb(const std::vector<std::pair<int, long>> &floors, size_t nFrom, size_t nTo);
} // namespace CResidentSize
