#include "ApplicationsUnusedView.h"

#include "AdBasedOnSpotlightVCStrings.h"

#include <QLabel>

namespace lurkel {

namespace {

using Strings = AdBasedOnSpotlightVCStrings;

} // namespace

ApplicationsUnusedView::ApplicationsUnusedView(UrlOpener &urlOpener, QWidget *parent)
    : AdBasedOnSpotlightView(urlOpener, parent)
{
    setTexts(Strings::string("Applications_view_title", "Applications"),
             Strings::string("Applications_view_subtitle", "removable files"),
             {Strings::string("Applications_view_applications", "Applications", true),
              Strings::string("Applications_view_used_space", "Used space", true), QString()});
}

std::uint64_t ApplicationsUnusedView::getTotalSize() const
{
    return m_pInfo ? m_pInfo->size : 0;
}

void ApplicationsUnusedView::fillLabels()
{
    const ApplicationsUnusedViewInfo info = m_pInfo.value_or(ApplicationsUnusedViewInfo{});
    totalLabel()->setText(sizeText(info.size));
    rowValue(0)->setText(QString::number(static_cast<qlonglong>(info.count)));
    rowValue(1)->setText(sizeText(info.size));
}

} // namespace lurkel
