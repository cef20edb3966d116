#pragma once
// The table editor on top of the polling engine and the simulated transducer,
// in a fresh folder with a TarTabl folder, its file dialogs answered from
// Chosen: the set-up the table editor's window tests share. Header-only, as
// the editor lives in the window library, which the support library does not
// link.
#include "EngineRig.h"
#include "fMain.h"
#include "fTaraEditor.h"
#include "uTextFile.h"
#include "uWindows.h"

#include <QDir>
#include <QPointer>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

class TTaraEditorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        WindowHooks() = TWindowHooks();
        // Short time-outs, so that a silent device costs little time per try.
        Rig = std::make_unique<TEngineRig>(QStringList{QStringLiteral("ReadTotalConstant=60"),
                                                       QStringLiteral("ReadTotalMultiplier=0"),
                                                       QStringLiteral("ReadInterval=20")});
        QDir(Rig->Folder().Path()).mkpath(QStringLiteral("TarTabl"));
        TFormTaraEditor::FileDialogHook = [this](const TTaraFileDialog &Request) {
            Dialogs.append(Request);
            return Chosen.isEmpty() ? QString() : Chosen.takeFirst();
        };
        Form = new TFormTaraEditor;
        Form->show();
    }
    void TearDown() override {
        delete Form.data();
        Main.reset();
        TFormTaraEditor::FileDialogHook = nullptr;
        Rig.reset();
    }

    QString TarTabl(const QString &Name) const { return Rig->Folder().File(QStringLiteral("TarTabl/") + Name); }
    // Opens Path through "Открыть...".
    void Open(const QString &Path) {
        Chosen << Path;
        Form->actLoadTaraFile->trigger();
    }
    // Writes Lines as the table file Name in TarTabl and opens it.
    void OpenLines(const QString &Name, const QStringList &Lines) {
        WriteTextLines(TarTabl(Name), Lines);
        Open(TarTabl(Name));
    }

    std::unique_ptr<TEngineRig> Rig;
    std::unique_ptr<TFormMain> Main;
    QPointer<TFormTaraEditor> Form;
    QStringList Chosen;
    QList<TTaraFileDialog> Dialogs;
};
