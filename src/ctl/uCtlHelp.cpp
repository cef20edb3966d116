#include "uCtlHelp.h"

QString GeneralHelp() {
    return QStringLiteral(
        "Usage: lanx1ctl [--port NAME] [--baud N] [--address N] [--attempts N] COMMAND ...\n"
        "\n"
        "Talks to one level transducer over the serial line, without windows, with the\n"
        "settings of the program: INI/ComPort.ini (and INI/bde.ini for the archive) of\n"
        "the current folder. The request log rd<yymmdd>.txt is written there too.\n"
        "\n"
        "Options (for this run only; the settings files are never changed):\n"
        "  --port NAME      serial port (e.g. /dev/ttyUSB0, COM3)\n"
        "  --baud N         bits per second\n"
        "  --address N      system address of the device, 0..255 (default 1)\n"
        "  --attempts N     attempts of each command, 1..100 (default 5)\n"
        "\n"
        "Commands:\n"
        "  frame KIND                      request frame of a request kind, hexadecimal, no port needed\n"
        "  read WHAT...                    read parameters or readings and print Name=value lines\n"
        "  write NAME=VALUE...             set device parameters and write them to the device\n"
        "  autocal c1|c2 VALUE             autocalibrate a calibration point at VALUE\n"
        "  poll [--period MS] [--count N] [--kinds 0,3,4,5]\n"
        "                                  poll and archive the readings, one line per cycle\n"
        "  table read FILE                 the device's 32-point table into a table file\n"
        "  table write FILE NAME           a table of a table file into the device\n"
        "  table volume FILE NAME LEVEL    the volume for a level (offline)\n"
        "  archive NAME --from DT --to DT [--data DIR]\n"
        "                                  archived values of aLevel, aVolume or aFreq\n"
        "\n"
        "'lanx1ctl COMMAND --help' describes a command.\n"
        "Numbers are printed and read with a '.' decimal point.\n"
        "Exit status: 0 success, 1 device or file failure, 2 usage error.\n");
}

QString CommandHelp(const QString &Command) {
    if (Command == QLatin1String("frame"))
        return QStringLiteral(
            "Usage: lanx1ctl [--address N] frame KIND [--block 1|2] [NAME=VALUE...]\n"
            "\n"
            "Prints the request frame of request kind KIND (0..30 except 16 and 18) as it\n"
            "goes over the line, checksum included, as two-digit hexadecimal bytes separated\n"
            "by blanks (the form of the request log). No port is opened. A write request\n"
            "carries the device object's values: its defaults, or those set with NAME=VALUE\n"
            "(any property 'write' accepts). Table kinds 27..30 address --block (default 1).\n");
    if (Command == QLatin1String("read"))
        return QStringLiteral(
            "Usage: lanx1ctl read WHAT...\n"
            "\n"
            "WHAT (any number, in any order):\n"
            "  all           all readings in one request (plant number, modification, level,\n"
            "                volume, frequency, points' frequencies, control register)\n"
            "  level volume frequency plant modification freq1 freq2 value1 value2\n"
            "  value20ma turning4ma turning20ma control kkalman\n"
            "  params        the eleven reads of 'read all parameters', in its order\n"
            "\n"
            "After all reads, every property they set is printed once, one Name=value a line:\n"
            "PlantNumber Modification Level Volume Frequency Freq1 Freq2 Value1 Value2\n"
            "Value20mA Turning4mA Turning20mA ControlRegister ModeCurrentOutput KKalman.\n"
            "Numbers use '.' and the shortest form that reads back exactly.\n"
            "A read that fails in all its attempts ends the command (status 1). A value the\n"
            "device sent but the program refuses (out of its range) is not printed; it is\n"
            "reported as 'refused device value NAME=VALUE' on standard error, status 1. A\n"
            "missing frequency signal (control register bit 7) is reported there too.\n");
    if (Command == QLatin1String("write"))
        return QStringLiteral(
            "Usage: lanx1ctl write NAME=VALUE...\n"
            "\n"
            "NAME (letter case ignored): KKalman Freq1 Freq2 Value1 Value2 Value20mA\n"
            "Turning4mA Turning20mA ModeCurrentOutput SystemAddressNew PlantNumber.\n"
            "Every value is first given to the device object; a value it refuses (out of\n"
            "range, not a number) ends the command with status 1 and nothing is sent. Then\n"
            "each property is written, in the order given (SystemAddressNew last):\n"
            "  ModeCurrentOutput=1|2   (1: 4...20 mA, 2: 0...20 mA) the control register is\n"
            "                          read, its mode bit set, and written back\n"
            "  SystemAddressNew=N      (0..254) the address write, which also carries PlantNumber;\n"
            "                          without PlantNumber=P the device's own plant number is\n"
            "                          read first. Later commands still use --address.\n"
            "  PlantNumber=P           only together with SystemAddressNew\n"
            "Each property is printed as a Name=value line as soon as the device confirmed\n"
            "its write, so a run that fails later still shows what changed.\n");
    if (Command == QLatin1String("autocal"))
        return QStringLiteral(
            "Usage: lanx1ctl autocal c1|c2 VALUE\n"
            "\n"
            "Autocalibration of the lower (c1) or upper (c2) calibration point: VALUE (level,\n"
            "0..100) is written as the point's value, the point's autocalibration bit is set\n"
            "in the control register, and the point's value and frequency are read back and\n"
            "printed (Value1/Freq1 or Value2/Freq2). The range warning of the program is not\n"
            "given. If the value write or the control register read fails, the calibration\n"
            "is not started.\n");
    if (Command == QLatin1String("poll"))
        return QStringLiteral(
            "Usage: lanx1ctl poll [--period MS] [--count N] [--kinds K,K...]\n"
            "\n"
            "Runs poll cycles as the program does, archiving the readings of every exchange\n"
            "that brought them (archive folder of INI/bde.ini). A port that goes away is\n"
            "reopened by itself, at most once a second, and polling goes on.\n"
            "  --period MS   100..60000 ms from the start of one cycle to the next\n"
            "                (default: the poll timer's period in INI/Timer.ini)\n"
            "  --count N     number of cycles; 0 (default) polls until interrupted\n"
            "  --kinds       request kinds of a cycle, from 0 (all readings), 3 (level),\n"
            "                4 (volume), 5 (frequency); default 0\n"
            "Each cycle prints one line:\n"
            "  yyyy-MM-dd HH:mm:ss.zzz<TAB>Level=..<TAB>Volume=..<TAB>Frequency=..\n"
            "with the readings this cycle's replies brought, and <TAB>Error=kind K: <text>\n"
            "(several joined by '; ') when an exchange of the cycle failed or the archive\n"
            "could not be written. At the end one line goes to standard error:\n"
            "  Exchanges=N Answered=N NoAnswer=N Checksum=N Mismatch=N Exception=N Status=N\n"
            "  PortLost=N Noise=N ResponseMs=min/avg/max\n"
            "(Noise counts bytes that belonged to no reply.) The status is 1 when any\n"
            "exchange or archive write failed.\n");
    if (Command == QLatin1String("table"))
        return QStringLiteral(
            "Usage: lanx1ctl table read FILE\n"
            "       lanx1ctl table write FILE NAME\n"
            "       lanx1ctl table volume FILE NAME LEVEL\n"
            "\n"
            "read    reads the device's 32-point table (levels, then volumes, two blocks of 16\n"
            "        points each) and writes FILE as the table 'ttFromLanx1'. A block that\n"
            "        does not answer fails the command and FILE is not written.\n"
            "write   writes the table NAME of the table file FILE to the device: its first\n"
            "        32 points, not-a-number in the slots beyond. A table that does not load\n"
            "        is refused and nothing is sent.\n"
            "volume  prints Volume=<volume> for LEVEL through the table NAME; no port used.\n"
            "Table files are Windows-1251 text with the decimal comma.\n");
    if (Command == QLatin1String("archive"))
        return QStringLiteral(
            "Usage: lanx1ctl archive NAME --from DT --to DT [--data DIR]\n"
            "\n"
            "Prints the archived values of NAME (aLevel, aVolume, aFreq) from DT to DT, both\n"
            "included, ascending, one 'yyyy-MM-dd HH:mm:ss.zzz<TAB>value' a line.\n"
            "DT is 'yyyy-MM-dd[ HH:mm[:ss[.zzz]]]' local time; a date alone means the start\n"
            "of that day for --from and its end for --to. The archive folder is that of\n"
            "INI/bde.ini, or DIR. No port used. Days whose table cannot be read are named\n"
            "on standard error after the values of the others, and the exit status is 1.\n");
    return {};
}
