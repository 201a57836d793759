// SPDX-License-Identifier: MIT
#pragma once

#include <list>
#include <map>
#include <set>
#include <vector>

namespace zil {

// Value-semantic containers; the standard ones do everything the library needs.
template <class T>
using TArray = std::vector<T>;
template <class T>
using TList = std::list<T>;
// Ordered by key.
template <class K, class V, class Less = std::less<K>>
using TMap = std::map<K, V, Less>;
template <class T, class Less = std::less<T>>
using TSet = std::set<T, Less>;

} // namespace zil
