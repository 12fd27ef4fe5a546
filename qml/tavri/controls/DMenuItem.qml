import QtQuick 2.5
import QtQuick.Controls 1.4

// A menu entry; `bubbleColor` names a presence colour whose bubble stands
// before the text (online, away or anything else for offline).
MenuItem {
    property string bubbleColor: ""
    iconSource: bubbleColor === "" ? ""
              : bubbleColor === String(styleManager.presenceOnlineColor) ? "qrc:/textures/user_online_9px-01.png"
              : bubbleColor === String(styleManager.presenceAwayColor) ? "qrc:/textures/user_away_9px-01.png"
              : "qrc:/textures/user_offline_9px-01.png"
}
