#pragma once

#include "ConfigurationFiles.h"
#include "RegisterImage.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmDisplayConfiguration;
}

// The configuration editor: one row per line of a configuration text file, the
// values editable. Apply parses every value into a working copy of the register
// image and, only when all of them parse, makes it the register image; Undo puts
// back the image as it was when the editor opened.
class TfrmDisplayConfiguration : public QDialog {
    Q_OBJECT
public:
    static constexpr int HelpContext = 101;

    TfrmDisplayConfiguration(RegisterImage &image, const QList<ConfigurationFiles::TextLine> &lines,
                             QWidget *parent = nullptr);
    ~TfrmDisplayConfiguration() override;

    // The grid's value column, top to bottom.
    QStringList values() const;

public slots:
    void btnApplyClick();
    void btnUndoClick();

signals:
    // The register image was replaced (the port status items are refreshed).
    void imageChanged();
    void helpRequested(int helpContext);

protected:
    // Escape stops a running procedure elsewhere; it does not close the editor.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setAddedPrefix(int rows);
    void clearAddedPrefix();

    std::unique_ptr<Ui::TfrmDisplayConfiguration> ui;
    RegisterImage &m_image;
    const RegisterImage m_undoCopy;   // the image as it was when the editor opened
};
