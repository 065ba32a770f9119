#include "app/pages/SiteDataPage.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>

#include "app/ErrorHandler.h"
#include "app/Messages.h"
#include "profiles/ProfileStore.h"
#include "util/Files.h"
#include "widgets/CaptionLabel.h"

namespace tolvan::app {

using widgets::CaptionLabel;

const QString SiteDataPage::kCategoryPrompt = QStringLiteral("SELECT A CATEGORY ");
const QString SiteDataPage::kLastRunUnknown = QStringLiteral("Last Submission: Unknown");

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& q) { return q.toStdString(); }

// A loaded text shows from its beginning, not scrolled to its end.
void showText(QLineEdit* edit, const QString& text)
{
    edit->setText(text);
    edit->setCursorPosition(0);
}

QLineEdit* makeEdit(QWidget* parent, const char* objectName, const char* hint)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setToolTip(QString::fromLatin1(hint));
    return edit;
}

QLabel* makeLabel(QWidget* parent, const char* text, QWidget* buddy = nullptr)
{
    auto* label = new CaptionLabel(QString::fromLatin1(text), parent);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

}  // namespace

SiteDataPage::SiteDataPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet1"));

    url1 = new QComboBox(this);
    url1->setObjectName(QStringLiteral("url1"));
    url1->setEditable(true);
    url1->setInsertPolicy(QComboBox::NoInsert);
    url1->addItems({QStringLiteral("http://"), QStringLiteral("https://")});
    url1->setCurrentIndex(-1);
    url1->setEditText(QString());
    url1->setToolTip(QStringLiteral("Choose http:// if the page you are submitting is a normal web page.  "
                                    "https:// should be selected for submitting secure websites."));
    url1->setFixedWidth(url1->fontMetrics().horizontalAdvance(QStringLiteral("https://")) + 40);

    url2 = makeEdit(this, "url2", "Enter the web page you wish to submit.  Do not use http://");
    url2->installEventFilter(this);

    url = new QLineEdit(this);
    url->setObjectName(QStringLiteral("url"));
    url->hide();

    title = makeEdit(this, "title", "Enter the Title of your Web Page.  Be short and descriptive.");

    desc = new QPlainTextEdit(this);
    desc->setObjectName(QStringLiteral("desc"));
    desc->setToolTip(QStringLiteral("Enter a brief description of this site."));
    desc->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    desc->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    desc->setTabChangesFocus(true);
    desc->setMinimumHeight(desc->fontMetrics().lineSpacing() * 4 + 10);
    connect(desc->document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { limitDescription(position, added); });

    category = new QComboBox(this);
    category->setObjectName(QStringLiteral("category"));
    category->setEditable(true);
    category->setInsertPolicy(QComboBox::NoInsert);
    category->setMaxVisibleItems(20);
    category->setToolTip(QStringLiteral("Select the most appropriate category for this site."));
    category->setEditText(kCategoryPrompt);

    auto* keyGrid = new QGridLayout;
    keyGrid->setHorizontalSpacing(3);
    keyGrid->setVerticalSpacing(3);
    for (int i = 0; i < 18; ++i) {
        const QByteArray objectName = "key" + QByteArray::number(i + 1);
        QLineEdit* key = makeEdit(this, objectName.constData(), "Enter a Keyword or phrase");
        key->setMinimumWidth(40);
        keys_[static_cast<std::size_t>(i)] = key;
        keyGrid->addWidget(key, i / 3, i % 3);  // across, then down
    }
    key1 = keys_[0], key2 = keys_[1], key3 = keys_[2], key4 = keys_[3], key5 = keys_[4];
    key6 = keys_[5], key7 = keys_[6], key8 = keys_[7], key9 = keys_[8], key10 = keys_[9];
    key11 = keys_[10], key12 = keys_[11], key13 = keys_[12], key14 = keys_[13];
    key15 = keys_[14], key16 = keys_[15], key17 = keys_[16], key18 = keys_[17];

    name = makeEdit(this, "name", "Enter your name, or the name of the webmaster");
    email = makeEdit(this, "email", "Enter the webmaster's e-mail address");
    company = makeEdit(this, "company", "Enter the company name");
    address = makeEdit(this, "address", "Enter your address.");
    city = makeEdit(this, "city", "Enter the city the company is located in, if applicable.");
    state = makeEdit(this, "state", "Enter your state.");
    zip = makeEdit(this, "zip", "Enter your Zip/Postal code");
    country = makeEdit(this, "country", "Enter your country");
    phone = makeEdit(this, "phone", "Enter your phone number.");
    fax = makeEdit(this, "fax", "Enter your fax number.");

    lastruntext = new CaptionLabel(kLastRunUnknown, this);
    lastruntext->setObjectName(QStringLiteral("lastruntext"));

    cleardbb = new QPushButton(QStringLiteral("Clear All Fields"), this);
    cleardbb->setObjectName(QStringLiteral("cleardbb"));
    cleardbb->setToolTip(QStringLiteral("Clears all fields on this page."));
    loaddbb = new QPushButton(QStringLiteral("Load Saved Site"), this);
    loaddbb->setObjectName(QStringLiteral("loaddbb"));
    loaddbb->setToolTip(QStringLiteral("Loads a saved website profile."));
    savedbb = new QPushButton(QStringLiteral("Save Current Site"), this);
    savedbb->setObjectName(QStringLiteral("savedbb"));
    savedbb->setToolTip(QStringLiteral("Saves the current website profile."));
    connect(cleardbb, &QPushButton::clicked, this, [this] { guarded([this] { cleardbbClick(); }); });
    connect(loaddbb, &QPushButton::clicked, this, [this] { guarded([this] { loaddbbClick(); }); });
    connect(savedbb, &QPushButton::clicked, this, [this] { guarded([this] { savedbbClick(); }); });

    // Left: the site itself.
    auto* site = new QGridLayout;
    site->setHorizontalSpacing(6);
    site->setVerticalSpacing(4);
    auto* webRow = new QHBoxLayout;
    webRow->setSpacing(2);
    webRow->addWidget(url1);
    webRow->addWidget(url2, 1);
    site->addWidget(makeLabel(this, "Web Page:", url1), 0, 0);
    site->addLayout(webRow, 0, 1);
    site->addWidget(makeLabel(this, "Site Title:", title), 1, 0);
    site->addWidget(title, 1, 1);
    site->addWidget(makeLabel(this, "Description:", desc), 2, 0, Qt::AlignTop);
    site->addWidget(desc, 2, 1);
    site->addWidget(makeLabel(this, "Category:", category), 3, 0);
    site->addWidget(category, 3, 1);
    site->addWidget(makeLabel(this, "Keywords:", key1), 4, 0, Qt::AlignTop);
    site->addLayout(keyGrid, 4, 1);
    site->setColumnStretch(1, 1);
    site->setRowStretch(2, 1);

    // Right: the owner.
    auto* owner = new QGridLayout;
    owner->setHorizontalSpacing(6);
    owner->setVerticalSpacing(4);
    int row = 0;
    auto addRow = [&](const char* label, QWidget* field) {
        owner->addWidget(makeLabel(this, label, field), row, 0);
        owner->addWidget(field, row, 1, 1, 3);
        ++row;
    };
    addRow("Your Name:", name);
    addRow("E-Mail:", email);
    addRow("Company Name:", company);
    addRow("Address:", address);
    addRow("City:", city);
    owner->addWidget(makeLabel(this, "State:", state), row, 0);
    owner->addWidget(state, row, 1);
    owner->addWidget(makeLabel(this, "Postal:", zip), row, 2);
    owner->addWidget(zip, row, 3);
    ++row;
    addRow("Country:", country);
    addRow("Phone:", phone);
    addRow("Fax:", fax);
    owner->setColumnStretch(1, 1);
    owner->setColumnStretch(3, 1);
    owner->setRowStretch(row, 1);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(12);
    columns->addLayout(site, 11);
    columns->addLayout(owner, 9);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(6);
    bottom->addWidget(lastruntext, 1);
    bottom->addWidget(cleardbb);
    bottom->addWidget(loaddbb);
    bottom->addWidget(savedbb);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(8);
    page->addLayout(columns, 1);
    page->addLayout(bottom);
}

void SiteDataPage::setBaseDir(const QString& dir) { baseDir_ = dir; }

QString SiteDataPage::fullAddress() const { return url->text(); }

void SiteDataPage::refreshFullAddress() { url->setText(url1->currentText() + url2->text()); }

void SiteDataPage::url2Exit() { refreshFullAddress(); }

bool SiteDataPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == url2 && event->type() == QEvent::FocusOut)
        url2Exit();
    return QWidget::eventFilter(watched, event);
}

void SiteDataPage::setCategories(const QStringList& categories)
{
    const QString text = category->currentText();
    QStringList sorted = categories;
    std::stable_sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    category->clear();
    category->addItems(sorted);
    category->setCurrentIndex(-1);
    category->setEditText(text);
}

SiteProfile SiteDataPage::profile() const
{
    SiteProfile p;
    p.protocol = s(url1->currentText());
    p.address = s(url2->text());
    p.title = s(title->text());
    for (const QString& line : descriptionLines())
        p.descriptionLines.push_back(s(line));
    p.category = s(category->currentText());
    for (std::size_t i = 0; i < keys_.size(); ++i)
        p.keywords[i] = s(keys_[i]->text());
    p.name = s(name->text());
    p.company = s(company->text());
    p.city = s(city->text());
    p.country = s(country->text());
    p.email = s(email->text());
    p.street = s(address->text());
    p.state = s(state->text());
    p.zip = s(zip->text());
    p.phone = s(phone->text());
    p.fax = s(fax->text());
    p.lastRun = s(lastruntext->text());
    p.indexNowKey = indexNowKey_;
    p.indexNowKeyLocation = indexNowKeyLocation_;
    return p;
}

void SiteDataPage::setProfile(const SiteProfile& p, bool withLastRun)
{
    if (withLastRun)
        lastruntext->setText(q(p.lastRun));
    indexNowKey_ = p.indexNowKey;
    indexNowKeyLocation_ = p.indexNowKeyLocation;
    url1->setEditText(q(p.protocol));
    showText(url2, q(p.address));
    refreshFullAddress();
    showText(title, q(p.title));
    category->setEditText(q(p.category));
    category->lineEdit()->setCursorPosition(0);
    for (std::size_t i = 0; i < keys_.size(); ++i)
        showText(keys_[i], q(p.keywords[i]));
    showText(name, q(p.name));
    showText(company, q(p.company));
    showText(city, q(p.city));
    showText(country, q(p.country));
    showText(email, q(p.email));
    showText(address, q(p.street));
    showText(state, q(p.state));
    showText(zip, q(p.zip));
    showText(phone, q(p.phone));
    showText(fax, q(p.fax));
    // A profile read from disk carries its description as one line.
    std::string text;
    for (const auto& line : p.descriptionLines)
        text += line;
    desc->clear();
    desc->appendPlainText(q(text));
}

void SiteDataPage::cleardbbClick()
{
    // The protocol box is left empty too; the last-submission text stays.
    SiteProfile cleared = profile();
    clearFields(cleared);
    setProfile(cleared, false);
}

void SiteDataPage::savedbbClick()
{
    if (url2->text().isEmpty()) {
        showMessage(this, QString::fromLatin1(kNoAddressToSaveMessage));
        return;
    }
    refreshFullAddress();
    emit saveDialogRequested();
}

void SiteDataPage::loaddbbClick()
{
    if (!fileExists(joinPath(s(baseDir_), "sites/tlxprofiles.tlx"))) {
        showMessage(this, QString::fromLatin1(kNoProfileToLoadMessage));
        return;
    }
    emit loadDialogRequested();
    refreshFullAddress();
}

void SiteDataPage::limitDescription(int position, int added)
{
    if (limiting_ || added <= 0)
        return;
    // The document counts one more character than the text holds (the final
    // paragraph separator).
    const int excess = desc->document()->characterCount() - 1 - kDescriptionMaxLength;
    if (excess <= 0)
        return;
    // Drop the end of what was just typed or pasted, as a length-limited edit does.
    limiting_ = true;
    QTextCursor cursor(desc->document());
    const int end = position + added;
    cursor.setPosition(std::max(position, end - excess));
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    limiting_ = false;
}

QStringList SiteDataPage::descriptionLinesAt(qreal width) const
{
    QStringList lines;
    const QTextDocument* doc = desc->document();
    if (doc->isEmpty())
        return lines;
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(desc->wordWrapMode());
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        if (!block.next().isValid() && text.isEmpty())
            break;  // a final line break adds no line
        if (text.isEmpty()) {
            lines << QString();
            continue;
        }
        QTextLayout layout(text, desc->font());
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
            line.setLineWidth(width);
        layout.endLayout();
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            QString part = text.mid(line.textStart(), line.textLength());
            // The blank at a soft break is not shown; each stored line gets its own.
            if (i + 1 < layout.lineCount()) {
                while (part.endsWith(QLatin1Char(' ')))
                    part.chop(1);
            }
            lines << part;
        }
    }
    return lines;
}

QStringList SiteDataPage::descriptionLines() const
{
    const qreal margin = 2 * desc->document()->documentMargin();
    if (desc->isVisible())
        return descriptionLinesAt(std::max<qreal>(1.0, desc->viewport()->width() - margin));

    // The memo's own layout is only current while it is on screen; elsewhere
    // lay the text out at the width the memo would give it, leaving room for
    // the scroll bar when the text is taller than the memo.
    const int viewportWidth = desc->width() - 2 * desc->frameWidth();
    const int viewportHeight = desc->height() - 2 * desc->frameWidth();
    QStringList lines = descriptionLinesAt(std::max<qreal>(1.0, viewportWidth - margin));
    const qreal textHeight = lines.size() * QFontMetricsF(desc->font()).lineSpacing() + margin;
    if (textHeight > viewportHeight && desc->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff) {
        const int bar = desc->verticalScrollBar()->sizeHint().width();
        lines = descriptionLinesAt(std::max<qreal>(1.0, viewportWidth - bar - margin));
    }
    return lines;
}

}  // namespace tolvan::app
