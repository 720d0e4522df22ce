#include "DuplicateFilesView.h"

#include "AdBasedOnSpotlightVCStrings.h"

#include <QLabel>

namespace lurkel {

namespace {

using Strings = AdBasedOnSpotlightVCStrings;

} // namespace

DuplicateFilesView::DuplicateFilesView(UrlOpener &urlOpener, QWidget *parent)
    : AdBasedOnSpotlightView(urlOpener, parent)
{
    setTexts(Strings::string("Duplicate_files_view_title", "Duplicate Files and Folders"),
             Strings::string("Duplicate_files_view_subtitle", "removable files"),
             {Strings::string("Duplicate_files_view_potential_duplicates", "Potential duplicates", true),
              Strings::string("Duplicate_files_view_used_space", "Used space", true), QString()});
}

std::uint64_t DuplicateFilesView::getDuplicatesSize() const
{
    return m_pInfo ? m_pInfo->size : 0;
}

void DuplicateFilesView::fillLabels()
{
    const DuplicateFilesViewInfo info = m_pInfo.value_or(DuplicateFilesViewInfo{});
    totalLabel()->setText(sizeText(info.size));
    rowValue(0)->setText(QString::number(static_cast<qlonglong>(info.count)));
    rowValue(1)->setText(sizeText(info.size));
}

} // namespace lurkel
