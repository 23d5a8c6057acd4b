// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QUrl>

// Receives the archives and projects dropped on a TemplateArchiveDropzoneView.
class TemplateArchiveDropzoneViewDelegate
{
public:
    virtual ~TemplateArchiveDropzoneViewDelegate() = default;

    // The file URLs of the dropped *.mtzip items, in the order they were
    // dragged; never empty.
    virtual void openTemplateArchiveAtURLs(const QList<QUrl> &urls) = 0;
    // The file URLs of the dropped Final Cut Pro projects (*.fcpxml files,
    // *.fcpxmld bundles), each to be checked; never empty.
    virtual void checkProjectsAtURLs(const QList<QUrl> &urls) { Q_UNUSED(urls) }
};
