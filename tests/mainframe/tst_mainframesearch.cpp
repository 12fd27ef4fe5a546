// The main frame's user search (the Add Contacts pane) with a recording search double. Any
// warning of a QML file fails the test.

#include "mainframefixture.h"
#include "testenvironment.h"

#include <QDesktopServices>
#include <QRegularExpression>

class MainFrameSearchTest : public MainFrameTestBase
{
    Q_OBJECT

private slots:
    void showingAddContactsResetsTheSearch()
    {
        showPane("addContactsTile");
        QCOMPARE(calls("findInstance."), QStringList{"findInstance.reset()"});
        QVERIFY(!findItem(frame, "noResults")->isVisible());
        QVERIFY(findItem(frame, "findButton")->isVisible());
        // Disabled while the term is empty or only blanks.
        QVERIFY(!findItem(frame, "findButton")->isEnabled());
        typeTerm("   ");
        QVERIFY(!findItem(frame, "findButton")->isEnabled());
    }

    void findAgainWithTheSameTermFetchesTheNextPage()
    {
        showPane("addContactsTile");
        typeTerm("  bob ");
        QVERIFY(clickItem(findItem(frame, "findButton")));
        QCOMPARE(calls("findInstance.searchForUsers"), QStringList{"findInstance.searchForUsers(bob, false, 0, 4)"});
        QCOMPARE(findNamed(frame, "searchField")->property("text").toString(), QString("bob"));
        QVERIFY(findItem(frame, "searchingLabel")->property("opacity").toReal() >= 0);

        for (int i = 0; i < 4; ++i)
            world->findInstance.pendingResults.append(
                {{"uname", QString("bob%1").arg(i)}, {"sipURI", QString("sip:u-bob%1@x").arg(i)}});
        world->findInstance.pendingHasMore = true;
        world->findInstance.finishSearch();
        QVERIFY(findItem(frame, "findMoreButton")->isVisible());
        QVERIFY(!findItem(frame, "findButton")->isVisible());

        world->log.clear();
        QVERIFY(clickItem(findItem(frame, "findMoreButton")));
        QCOMPARE(calls("findInstance.searchForUsers"), QStringList{"findInstance.searchForUsers(bob, false, 4, 4)"});
        QCOMPARE(calls("trackEvent"), QStringList{"trackEvent(FindUsers, SearchMore, [offset:4])"});
        world->findInstance.finishSearch();

        // The Find step with the term unchanged while more exist pages on.
        world->log.clear();
        QVERIFY(QMetaObject::invokeMethod(pane("addContactsPane"), "find"));
        QCOMPARE(calls("findInstance.searchForUsers"), QStringList{"findInstance.searchForUsers(bob, false, 8, 4)"});
    }

    void editingTheTermOrTheInactiveBoxStartsAgain()
    {
        showPane("addContactsTile");
        typeTerm("bob");
        QVERIFY(clickItem(findItem(frame, "findButton")));
        world->findInstance.pendingResults = {{{"uname", "bob"}, {"sipURI", "sip:u-bob@x"}}};
        world->findInstance.pendingHasMore = true;
        world->findInstance.finishSearch();
        QVERIFY(findItem(frame, "findMoreButton")->isVisible());

        typeTerm("bobby");
        QVERIFY(findItem(frame, "findButton")->isVisible());
        QVERIFY(!findItem(frame, "findMoreButton")->isVisible());
        typeTerm("bob");
        QVERIFY(findItem(frame, "findMoreButton")->isVisible());

        // Enter runs the step on show: a new term starts at offset 0.
        typeTerm("carol");
        world->log.clear();
        QQuickItem *field = findItem(frame, "searchField");
        field->forceActiveFocus();
        QTest::keyClick(world->view, Qt::Key_Return);
        QCOMPARE(calls("findInstance.searchForUsers"), QStringList{"findInstance.searchForUsers(carol, false, 0, 4)"});
        world->findInstance.pendingHasMore = true;
        world->findInstance.finishSearch();
        QVERIFY(findItem(frame, "findMoreButton")->isVisible());

        world->log.clear();
        QQuickItem *box = findItem(frame, "inactiveCheckBox");
        box->setProperty("checked", true);
        QCOMPARE(calls("findInstance."), QStringList{"findInstance.reset()"});
        QVERIFY(findItem(frame, "findButton")->isVisible());
        QVERIFY(!findItem(frame, "noResults")->isVisible());
        QVERIFY(clickItem(findItem(frame, "findButton")));
        QCOMPARE(calls("findInstance.searchForUsers"), QStringList{"findInstance.searchForUsers(carol, true, 0, 4)"});
    }

    void noResultsOnlyAfterASearch()
    {
        showPane("addContactsTile");
        QVERIFY(!findItem(frame, "noResults")->isVisible());
        typeTerm("nobody");
        QVERIFY(clickItem(findItem(frame, "findButton")));
        QVERIFY(!findItem(frame, "noResults")->isVisible());
        world->findInstance.finishSearch();
        QVERIFY(findItem(frame, "noResults")->isVisible());
        // Showing the pane again starts afresh.
        showPane("channelsTile");
        showPane("addContactsTile");
        QVERIFY(!findItem(frame, "noResults")->isVisible());
    }

    void resultTileAddsOrRemovesTheFriend_data()
    {
        QTest::addColumn<bool>("isContact");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("tracked");
        QTest::newRow("stranger") << false << "findInstance.tileClicked(, sip:u-bob@x, true)"
                                  << "trackEvent(FindUsers, TileClicked, [userUri:sip:u-bob@x,addTolist:true])";
        QTest::newRow("friend") << true << "findInstance.tileClicked(, sip:u-bob@x, false)"
                                << "trackEvent(FindUsers, TileClicked, [userUri:sip:u-bob@x,addTolist:false])";
    }
    void resultTileAddsOrRemovesTheFriend()
    {
        QFETCH(bool, isContact);
        QFETCH(QString, call);
        QFETCH(QString, tracked);
        showPane("addContactsTile");
        typeTerm("bob");
        QVERIFY(clickItem(findItem(frame, "findButton")));
        world->findInstance.pendingResults = {{{"uname", "bob"}, {"sipURI", "sip:u-bob@x"}, {"isContact", isContact}}};
        world->findInstance.finishSearch();
        world->log.clear();
        QTRY_VERIFY(findItem(frame, "tileButton"));
        QVERIFY(clickItem(findItem(frame, "tileButton")));
        QCOMPARE(world->log.calls, (QStringList{call, tracked}));
    }

    // Fewer results than fit rest on the bottom of their area, in order;
    // more than fit scroll so that the last ones show.
    void resultsAreStackedFromTheBottom()
    {
        // A frame tall enough for a result area of several rows.
        world->view->resize(325, 1000);
        showPane("addContactsTile");
        typeTerm("bob");
        QVERIFY(clickItem(findItem(frame, "findButton")));
        for (int i = 0; i < 2; ++i)
            world->findInstance.pendingResults.append(
                {{"uname", QString("bob%1").arg(i)}, {"sipURI", QString("sip:u-bob%1@x").arg(i)}});
        world->findInstance.finishSearch();
        QQuickItem *list = findItem(frame, "searchResults");
        QVERIFY(list);
        QTRY_VERIFY2(list->height() > 3 * 46, "the result area holds more than two rows");
        const qreal top = list->mapToScene(QPointF(0, 0)).y();
        const qreal bottom = list->mapToScene(QPointF(0, list->height())).y();
        // The rows by their place on screen, top first.
        auto shownRows = [&] {
            QList<QObject *> found;
            collectNamed(frame, "resultRow", &found);
            QList<QQuickItem *> rows;
            for (QObject *row : found) {
                auto *item = qobject_cast<QQuickItem *>(row);
                if (item && item->isVisible())
                    rows.append(item);
            }
            std::sort(rows.begin(), rows.end(), [](QQuickItem *a, QQuickItem *b) {
                return a->mapToScene(QPointF(0, 0)).y() < b->mapToScene(QPointF(0, 0)).y();
            });
            return rows;
        };
        auto rowBottom = [](QQuickItem *row) { return row->mapToScene(QPointF(0, row->height())).y(); };
        // A row's name without the highlight of the search term.
        auto name = [](QQuickItem *row) {
            return findNamed(row, "resultName")->property("text").toString().remove(QRegularExpression("<[^>]*>"));
        };
        QTRY_COMPARE(shownRows().size(), 2);
        QTRY_VERIFY(qAbs(rowBottom(shownRows().last()) - bottom) < 1);
        QList<QQuickItem *> rows = shownRows();
        QVERIFY(rows.first()->mapToScene(QPointF(0, 0)).y() > top + 46);
        QCOMPARE(name(rows.first()), QString("bob0"));
        QCOMPARE(name(rows.last()), QString("bob1"));

        // Enough rows to overflow: the view moves to the last one.
        const int more = int((bottom - top) / 46) + 2;
        for (int i = 2; i < 2 + more; ++i)
            world->findInstance.pendingResults.append(
                {{"uname", QString("bob%1").arg(i)}, {"sipURI", QString("sip:u-bob%1@x").arg(i)}});
        world->findInstance.finishSearch();
        const QString last = QString("bob%1").arg(1 + more);
        QTRY_VERIFY_WITH_TIMEOUT(!shownRows().isEmpty() && name(shownRows().last()) == last
                                     && qAbs(rowBottom(shownRows().last()) - bottom) < 1,
                                 30000);
    }

    void resultTextsAreEscapedBeforeDecorating()
    {
        showPane("addContactsTile");
        typeTerm("<b>(");
        QVERIFY(clickItem(findItem(frame, "findButton")));
        world->findInstance.pendingResults = {
            {{"uname", "x<b>(y"}, {"sipURI", "sip:u-x@x"}, {"taglineText", "<img src=\"http://evil/\">"}}};
        world->findInstance.finishSearch();
        QTRY_VERIFY(findItem(frame, "resultName"));
        const QString name = findNamed(frame, "resultName")->property("text").toString();
        QCOMPARE(name, QString("x<font color=\"red\">&lt;b&gt;(</font>y"));
        const QString tagline = findNamed(frame, "resultTagline")->property("text").toString();
        QCOMPARE(tagline, QString("'&lt;img src=&quot;http://evil/&quot;&gt;'"));
    }

    // The term is found as typed: pattern characters are no pattern, and an
    // entity made by escaping is never split by the highlight.
    void highlightTakesTheTermAsTyped_data()
    {
        QTest::addColumn<QString>("term");
        QTest::addColumn<QString>("uname");
        QTest::addColumn<QString>("shown");
        QTest::newRow("pattern characters") << ". + ( ) [ ] ? *"
                                            << "a . + ( ) [ ] ? * b"
                                            << "a <font color=\"red\">. + ( ) [ ] ? *</font> b";
        QTest::newRow("entity text") << "amp"
                                     << "Q & Co amp"
                                     << "Q &amp; Co <font color=\"red\">amp</font>";
        QTest::newRow("any case, every place") << "ab"
                                               << "Ab<ab>"
                                               << "<font color=\"red\">Ab</font>&lt;<font color=\"red\">ab</font>&gt;";
    }
    void highlightTakesTheTermAsTyped()
    {
        QFETCH(QString, term);
        QFETCH(QString, uname);
        QFETCH(QString, shown);
        showPane("addContactsTile");
        typeTerm(term);
        QVERIFY(clickItem(findItem(frame, "findButton")));
        world->findInstance.pendingResults = {{{"uname", uname}, {"sipURI", "sip:u-x@x"}}};
        world->findInstance.finishSearch();
        QTRY_VERIFY(findItem(frame, "resultName"));
        QCOMPARE(findNamed(frame, "resultName")->property("text").toString(), shown);
    }
};

TAVRI_TEST_MAIN(MainFrameSearchTest)
#include "moc_mainframefakes.cpp"
#include "moc_mainframefixture.cpp"
#include "tst_mainframesearch.moc"
