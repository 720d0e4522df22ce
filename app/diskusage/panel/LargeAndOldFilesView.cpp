#include "LargeAndOldFilesView.h"

#include "AdBasedOnSpotlightVCStrings.h"

#include <QLabel>

namespace lurkel {

namespace {

using Strings = AdBasedOnSpotlightVCStrings;

} // namespace

LargeAndOldFilesView::LargeAndOldFilesView(UrlOpener &urlOpener, QWidget *parent)
    : AdBasedOnSpotlightView(urlOpener, parent)
{
    setTexts(Strings::string("Large_and_old_view_title", "Large and Old Files"),
             Strings::string("Large_and_old_view_subtitle", "removable files"),
             {Strings::string("Large_and_old_view_applications", "Files", true),
              Strings::string("Large_and_old_view_used_space", "Used space", true), QString()});
}

std::uint64_t LargeAndOldFilesView::getTotalLargeAndOldSize() const
{
    return m_pInfo ? m_pInfo->size : 0;
}

void LargeAndOldFilesView::fillLabels()
{
    const LargeAndOldFilesViewInfo info = m_pInfo.value_or(LargeAndOldFilesViewInfo{});
    totalLabel()->setText(sizeText(info.size));
    rowValue(0)->setText(QString::number(static_cast<qlonglong>(info.count)));
    rowValue(1)->setText(sizeText(info.size));
}

} // namespace lurkel
