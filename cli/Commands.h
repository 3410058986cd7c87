#pragma once

#include "CliContext.h"

int CmdDevices(const CliContext& ctx);
int CmdInfo(const CliContext& ctx);
int CmdChecksum(const CliContext& ctx);
