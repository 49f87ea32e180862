// The Open dialog: several input files at once, the file types of the
// program's list, and (except in the old style) the "Alternate Data Streams:"
// panel, which lists the named streams (extended attributes) of the one file
// selected and is hidden while that file has none.
#pragma once

#include <QFileDialog>

#include <string>
#include <vector>

class QListWidget;

namespace zarvex {

// The file types of the Open dialog as name filters; each pattern is
// offered in upper and lower case, as file names keep their case here.
QStringList OpenFileTypes();

class OpenDialog : public QFileDialog
{
    Q_OBJECT
public:
    // Opens in `folder` ("OpenDir") with the one-based file type
    // `fileType` ("FileMask"); `oldStyle` leaves the streams panel out.
    OpenDialog(QWidget* parent, const std::string& folder, int fileType, bool oldStyle);

    std::vector<std::string> Files() const;
    // The one-based file type chosen (1 when it cannot be told).
    int FileType() const;

    // Lists the named streams of `path`: the panel shows when it has some.
    void ShowStreams(const QString& path);
    QWidget* StreamPanel() const { return m_Panel; }
    QListWidget* Streams() const { return m_Streams; }

private:
    QWidget* m_Panel = nullptr;
    QListWidget* m_Streams = nullptr;
};

} // namespace zarvex
