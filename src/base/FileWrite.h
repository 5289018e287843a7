#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace brimlet {

// Writes `bytes` to the file at `path`, creating it or replacing its content in place: an existing
// file keeps its identity, its links and its permissions (no rename). Only a regular file is
// written; a FIFO, a device or a folder at the path is refused at once instead of blocking or
// writing somewhere unexpected. Nothing on success, else "<path>: <reason>".
[[nodiscard]] std::optional<QString> writeFileInPlace(const QString& path, const QByteArray& bytes);

// Writes `bytes` to a new file in the same folder and renames it over `path` once it is complete
// and on disk, so that a failure part-way (a full disk) leaves what was there before, and no
// temporary file. Whatever is at the path, a link included, is replaced, never written through.
// Nothing on success, else "<path>: <reason>".
[[nodiscard]] std::optional<QString> writeFileReplacing(const QString& path,
                                                        const QByteArray& bytes);

}  // namespace brimlet
