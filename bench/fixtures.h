// File trees for the benchmarks, built with plain POSIX calls.
#pragma once

#include <string>
#include <vector>

namespace quil::bench {

// A fresh folder under the system's temporary folder; removed with its
// content by RemoveTree.
std::string MakeTempFolder(const std::string& name);
void RemoveTree(const std::string& folder);

// 99 folders in two levels below root (9, each with 10), the files spread
// evenly over them.
void MakeTree(const std::string& root, int files);

// names.size() empty files directly in folder.
void MakeFlatFolder(const std::string& folder, const std::vector<std::string>& names);

std::vector<std::string> NumberedNames(const std::string& prefix, int count);

}  // namespace quil::bench
