#pragma once

#include "CliContext.h"

int CmdDevices(const CliContext& ctx);
int CmdInfo(const CliContext& ctx);
int CmdChecksum(const CliContext& ctx);
int CmdConfig(const CliContext& ctx);
int CmdFrames(const CliContext& ctx);
int CmdState(const CliContext& ctx);
int CmdSet(const CliContext& ctx);
int CmdEffect(const CliContext& ctx);
int CmdCustom(const CliContext& ctx);
int CmdPreset(const CliContext& ctx);
int CmdSaveEffect(const CliContext& ctx);
int CmdSavePreset(const CliContext& ctx);
int CmdUploadEffect(const CliContext& ctx);
int CmdUploadSound(const CliContext& ctx);
int CmdConvertSound(const CliContext& ctx);
int CmdWatch(const CliContext& ctx);
int CmdEqResponse(const CliContext& ctx);
int CmdLibrary(const CliContext& ctx);
int CmdCloud(const CliContext& ctx);
int CmdCloudSounds(const CliContext& ctx);
int CmdSounds(const CliContext& ctx);
int CmdAudio(const CliContext& ctx);
int CmdPlay(const CliContext& ctx);
int CmdPad(const CliContext& ctx);
int CmdRecord(const CliContext& ctx);
int CmdFirmware(const CliContext& ctx);
int CmdDoctor(const CliContext& ctx);
