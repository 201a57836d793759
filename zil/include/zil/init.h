// SPDX-License-Identifier: MIT
#pragma once

#include "zil/object.h"

namespace zil {

// Keeps the base layer initialised while it lives; an application holds one for its whole run.
// The first one in the process makes a write to a closed pipe or socket fail with EPIPE
// instead of killing the process with SIGPIPE (unless the application installed its own
// SIGPIPE handler). Nothing else is set up, and nothing is undone when the last one goes:
// code that met EPIPE once must keep meeting it.
class CZilInit : public CBase {
public:
    CZilInit();
    ~CZilInit() override;
    CZilInit(const CZilInit&) = delete;
    CZilInit& operator=(const CZilInit&) = delete;

    static int getInstanceCount();
};

} // namespace zil
