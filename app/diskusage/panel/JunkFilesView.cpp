#include "JunkFilesView.h"

#include "AdBasedOnSpotlightVCStrings.h"

#include <QLabel>

namespace lurkel {

namespace {

using Strings = AdBasedOnSpotlightVCStrings;

} // namespace

JunkFilesView::JunkFilesView(UrlOpener &urlOpener, QWidget *parent) : AdBasedOnSpotlightView(urlOpener, parent)
{
    setTexts(Strings::string("Junk_files_view_title", "Junk Files"),
             Strings::string("Junk_files_view_subtitle", "removable files"),
             {Strings::string("Junk_files_view_caches", "Caches", true),
              Strings::string("Junk_files_view_downloads", "Downloads", true),
              Strings::string("Junk_files_view_uncleaned_trash", "Uncleaned Trash", true)});
}

std::uint64_t JunkFilesView::getTotalJunkSize() const
{
    return m_pInfo ? m_pInfo->getTotalSize() : 0;
}

void JunkFilesView::fillLabels()
{
    const JunkFilesViewInfo info = m_pInfo.value_or(JunkFilesViewInfo{});
    totalLabel()->setText(sizeText(info.getTotalSize()));
    rowValue(0)->setText(sizeText(info.cachesSize));
    rowValue(1)->setText(sizeText(info.downloadsSize));
    rowValue(2)->setText(sizeText(info.trashSize));
}

} // namespace lurkel
