// The host's port map: which device or file each printer port name stands for ("ports" of imphost.json,
// relative paths below the host folder), and how long a write may wait ("portTimeoutSeconds", default 10).
#pragma once

#include "platform/port.h"

namespace imp::host {

port::PortMap PortConfig();

}  // namespace imp::host
