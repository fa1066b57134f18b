// The controls of the main window and their layout.

#include "app/dmmain.h"
#include "app/elidedlabel.h"
#include "app/foldertreewidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QGroupBox *frame(const QString &name, const QString &caption, QWidget *parent)
{
    auto *box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QLabel *label(const QString &name, const QString &caption, QWidget *parent, const QString &toolTip = {})
{
    auto *created = new QLabel(caption, parent);
    created->setObjectName(name);
    created->setToolTip(toolTip);
    return created;
}

// A session label: sunken, so that an empty one still shows where its text will go. Its text sets
// its smallest width, so that the window never gets narrower than the session it shows.
QLabel *sessionLabel(const QString &name, const QString &toolTip, QWidget *parent)
{
    QLabel *created = label(name, QString(), parent);
    created->setToolTip(toolTip);
    created->setFrameShape(QFrame::StyledPanel);
    created->setFrameShadow(QFrame::Sunken);
    created->setContentsMargins(6, 2, 6, 2);
    return created;
}

} // namespace

void DMMain::buildPanels()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("DMMainPanels"));
    setCentralWidget(central);

    // The folder tree fills the left; options, counters and Cancel stand to its right.
    QGroupBox *projects =
        frame(QStringLiteral("FrameProjects"), QStringLiteral(" Move folders from library:"), central);
    m_tree = new QTreeWidget(projects);
    m_tree->setObjectName(QStringLiteral("TVRootFolder"));
    m_tree->setToolTip(QStringLiteral("The libraries and the folders you may move. Right-click a library, a "
                                      "category or a folder to preview or move it."));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setUniformRowHeights(true);
    m_tree->setIconSize(QSize(16, 16));
    m_tree->installEventFilter(this);
    m_tree->viewport()->installEventFilter(this);
    m_folderTree = std::make_unique<FolderTreeWidget>(*m_tree);
    connect(m_tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem *item) { emit nodeExpanded(FolderTreeWidget::node(item)); });
    connect(m_tree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { emit nodeClicked(FolderTreeWidget::node(item)); });
    auto *projectsLayout = new QVBoxLayout(projects);
    projectsLayout->addWidget(m_tree);

    QGroupBox *options = frame(QStringLiteral("FrameDocOptions"), QStringLiteral("Options:"), central);
    const QString targetTip = QStringLiteral("The library the folders are moved to.");
    QLabel *targetCaption =
        label(QStringLiteral("LabelRootFolder"), QStringLiteral("Target Library:"), options, targetTip);
    m_comboTargetLibrary = new QComboBox(options);
    m_comboTargetLibrary->setObjectName(QStringLiteral("ComboTargetLibrary"));
    m_comboTargetLibrary->setToolTip(targetTip);
    m_comboTargetLibrary->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_comboTargetLibrary->setMinimumContentsLength(14);
    targetCaption->setBuddy(m_comboTargetLibrary);
    m_checkLogMethod = new QCheckBox(QStringLiteral("Verbose Logging"), options);
    m_checkLogMethod->setObjectName(QStringLiteral("CheckLogMethod"));
    m_checkLogMethod->setToolTip(QStringLiteral("Write every step of a move to the log. Errors, warnings and "
                                                "the start and end of each move are written either way."));
    m_checkLogMethod->setChecked(true);
    m_buttonLogDir = new QPushButton(QStringLiteral(".."), options);
    m_buttonLogDir->setObjectName(QStringLiteral("ButtonLogDir"));
    m_buttonLogDir->setToolTip(QStringLiteral("Designate location for logfile"));
    m_buttonLogDir->setFixedWidth(m_buttonLogDir->fontMetrics().horizontalAdvance(QStringLiteral("...")) +
                                  24);
    connect(m_buttonLogDir, &QPushButton::clicked, this, &DMMain::logDirClicked);
    m_checkDisplayErrors = new QCheckBox(QStringLiteral("Display Errors"), options);
    m_checkDisplayErrors->setObjectName(QStringLiteral("CheckDisplayErrors"));
    m_checkDisplayErrors->setToolTip(
        QStringLiteral("Display errors (will require intervention to continue)"));
    m_checkDisplayErrors->setChecked(true);
    auto *optionsLayout = new QGridLayout(options);
    optionsLayout->addWidget(targetCaption, 0, 0, 1, 2);
    optionsLayout->addWidget(m_comboTargetLibrary, 1, 0, 1, 2);
    optionsLayout->addWidget(m_checkLogMethod, 2, 0);
    optionsLayout->addWidget(m_buttonLogDir, 2, 1, Qt::AlignRight);
    optionsLayout->addWidget(m_checkDisplayErrors, 3, 0, 1, 2);
    optionsLayout->setColumnStretch(0, 1);

    QGroupBox *counters = frame(QStringLiteral("FrameCounters"), QString(), central);
    auto *countersLayout = new QGridLayout(counters);
    const std::tuple<QString, QString, QString> counterNames[] = {
        {QStringLiteral("LabelTotal"), QStringLiteral("Total"),
         QStringLiteral("The folders the last move set out to move.")},
        {QStringLiteral("LabelRead"), QStringLiteral("Processed"),
         QStringLiteral("The folders the last move has finished.")},
        {QStringLiteral("LabelAdded"), QStringLiteral("Added"),
         QStringLiteral("The folders the last move has made in the target library.")},
        {QStringLiteral("LabelErrors"), QStringLiteral("Errors"),
         QStringLiteral("The folders the last move could not move. They stay in their library.")}};
    QLabel **counterValues[] = {&m_labelTotal, &m_labelRead, &m_labelAdded, &m_labelErrors};
    for (int i = 0; i < 4; ++i) {
        const auto &[name, caption, toolTip] = counterNames[i];
        QLabel *captionLabel = label(name + QStringLiteral("Caption"), caption, counters, toolTip);
        QLabel *value = label(name, QString(), counters, toolTip);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setFrameShape(QFrame::StyledPanel);
        value->setFrameShadow(QFrame::Sunken);
        value->setContentsMargins(4, 1, 4, 1);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 10);
        countersLayout->addWidget(captionLabel, i, 0);
        countersLayout->addWidget(value, i, 1);
        *counterValues[i] = value;
    }
    countersLayout->setColumnStretch(0, 1);

    QGroupBox *buttons = frame(QStringLiteral("FrameButtons"), QString(), central);
    m_buttonCancel = new QPushButton(QStringLiteral("&Cancel"), buttons);
    m_buttonCancel->setObjectName(QStringLiteral("Button_Cancel"));
    m_buttonCancel->setToolTip(QStringLiteral("Stop the running move when the folder it is at is safe. "
                                              "The folders not moved yet stay where they are."));
    connect(m_buttonCancel, &QPushButton::clicked, this, &DMMain::cancelClicked);
    auto *buttonsLayout = new QHBoxLayout(buttons);
    buttonsLayout->addStretch();
    buttonsLayout->addWidget(m_buttonCancel);

    auto *side = new QVBoxLayout;
    side->addWidget(options);
    side->addWidget(counters);
    side->addStretch();
    side->addWidget(buttons);

    auto *top = new QHBoxLayout;
    top->addWidget(projects, 1);
    top->addLayout(side);

    // The status line and the session labels run along the bottom.
    QGroupBox *status = frame(QStringLiteral("FrameStatus"), QStringLiteral("Status"), central);
    m_labelStatus =
        label(QStringLiteral("LabelStatus"), QString(), status, QStringLiteral("What Korvel is doing."));
    m_labelStatus->setMinimumHeight(m_labelStatus->fontMetrics().height() + 4);
    m_labelStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long status (a cancel's says what happens next) wraps instead of widening the window.
    m_labelStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_labelStatus->setWordWrap(true);
    m_labelInstallation = new ElidedLabel(status);
    m_labelInstallation->setObjectName(QStringLiteral("LabelInstallation"));
    m_labelInstallation->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_labelInstallation->setMinimumWidth(m_labelInstallation->fontMetrics().averageCharWidth() * 24);
    m_labelInstallation->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *statusLayout = new QHBoxLayout(status);
    statusLayout->addWidget(m_labelStatus, 3);
    statusLayout->addWidget(m_labelInstallation, 2);

    QGroupBox *libInfo = frame(QStringLiteral("FrameLibInfo"), QString(), central);
    m_labelLibraryName = sessionLabel(QStringLiteral("LabelLibraryName"),
                                      QStringLiteral("Right-click here to change current library"), libInfo);
    m_labelLibraryName->installEventFilter(this);
    m_labelPrimaryGroup =
        sessionLabel(QStringLiteral("LabelPrimaryGroup"), QStringLiteral("Your primary group"), libInfo);
    m_labelUserName = sessionLabel(QStringLiteral("LabelUserName"), QStringLiteral("Your login ID"), libInfo);
    auto *libInfoLayout = new QHBoxLayout(libInfo);
    libInfoLayout->setContentsMargins(8, 4, 8, 4);
    const std::pair<QString, QLabel *> session[] = {{QStringLiteral("Library:"), m_labelLibraryName},
                                                    {QStringLiteral("Group:"), m_labelPrimaryGroup},
                                                    {QStringLiteral("Login:"), m_labelUserName}};
    for (const auto &[caption, value] : session) {
        if (value != m_labelLibraryName)
            libInfoLayout->addSpacing(12);
        libInfoLayout->addWidget(label(QString(), caption, libInfo, value->toolTip()));
        libInfoLayout->addWidget(value, 1);
    }

    auto *layout = new QVBoxLayout(central);
    layout->addLayout(top, 1);
    layout->addWidget(status);
    layout->addWidget(libInfo);
}
