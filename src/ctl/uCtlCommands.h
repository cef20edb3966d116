#pragma once
// The commands of lanx1ctl. Each takes the words after its name, prints its
// result to Out and returns the exit status; usage errors and failures are
// thrown (ECtlUsage, ECtlFailure).
#include "uCtlArgs.h"

#include <QStringList>
#include <QTextStream>

int RunFrame(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out);
int RunRead(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out);
int RunWrite(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out);
int RunAutocal(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out);
int RunTable(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out);
int RunArchive(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out);
// Poll failures are reported on Err at the end (the lines already printed stay valid).
int RunPoll(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out, QTextStream &Err);

// Asks a running poll to end after its current cycle (from a signal handler).
void RequestPollStop();
