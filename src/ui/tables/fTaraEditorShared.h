#pragma once
// What the table editor's source files share: its logging category, the texts
// more than one of them shows, and its error box.

#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcTaraEditor)

namespace TaraEditorShared {

inline const QString kAttention = QStringLiteral("Внимание");
inline const QString kFilter = QStringLiteral("Тарировочные таблицы (*.txt)");
// The file a table read from the device is kept in, in the table folder.
inline const QString kDeviceTableFile = QStringLiteral("ttFromLanx1.txt");

void ShowError(const QString &Text);

} // namespace TaraEditorShared
