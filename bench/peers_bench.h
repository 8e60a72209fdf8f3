// The peers side by side: the same job, every NAME.txt of one folder
// renamed to NAME.dat, done by quil and by the other tools of its kind, as
// whole processes, with their peak memory.
#pragma once

namespace quil::bench {

void BenchPeers();

}  // namespace quil::bench
