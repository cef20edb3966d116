#pragma once
// The commands of lanx1ctl. Each takes the words after its name, prints its
// result to Out and returns the exit status; usage errors and failures are
// thrown (ECtlUsage, ECtlFailure).
#include "uCtlArgs.h"

#include <QStringList>
#include <QTextStream>

int RunFrame(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out);
// What the device sent but the device object refused, and a missing frequency
// signal, are reported on Err (exit status 1) after what was read.
int RunRead(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out, QTextStream &Err);
// Each property is printed as soon as the device confirmed its write.
int RunWrite(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out, QTextStream &Err);
int RunAutocal(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out);
int RunTable(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out);
int RunArchive(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out);
// A cycle with a failed exchange prints Error=; the exchange statistics go to
// Err at the end; any failed exchange or archive write gives exit status 1.
int RunPoll(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out, QTextStream &Err);

// Searches ports, baud rates and addresses for devices and prints one line
// for each found; progress goes to Err when it is a terminal. Status 1 when
// nothing was found. Interrupted (RequestPollStop), it prints what it found.
int RunScan(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out, QTextStream &Err);
// Runs N exchanges of one read kind and prints the link statistics.
int RunStats(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out);

// Asks a running poll, scan or stats run to end soon (from a signal handler).
void RequestPollStop();
