// The undo journal's cost: a batch applied with the journal as it is kept
// (a write per record, the disk every second) beside one that waits for
// the disk after every record.
#pragma once

namespace quil::bench {

void BenchJournal(int files);

}  // namespace quil::bench
