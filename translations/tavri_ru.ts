<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>AboutDialog</name>
    <message>
        <source>About Tavri</source>
        <translation>О программе Tavri</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Версия %1</translation>
    </message>
    <message>
        <source>Check for updates</source>
        <translation>Проверить обновления</translation>
    </message>
    <message>
        <source>Click here to check for application updates</source>
        <translation>Нажмите, чтобы проверить наличие обновлений</translation>
    </message>
    <message>
        <source>Update now</source>
        <translation>Обновить сейчас</translation>
    </message>
    <message>
        <source>Click here to download the update</source>
        <translation>Нажмите, чтобы скачать обновление</translation>
    </message>
    <message>
        <source>No update available</source>
        <translation>Обновлений нет</translation>
    </message>
    <message>
        <source>No update found, click to check again.</source>
        <translation>Обновлений не найдено, нажмите, чтобы проверить ещё раз.</translation>
    </message>
    <message>
        <source>Copyright %1 the Tavri developers. All rights reserved.</source>
        <translation>© %1 разработчики Tavri. Все права защищены.</translation>
    </message>
    <message>
        <source>This program is made available under its licence terms.</source>
        <translation>Эта программа распространяется на условиях её лицензии.</translation>
    </message>
    <message>
        <source>No patent rights are granted by this notice.</source>
        <translation>Настоящее уведомление не предоставляет никаких патентных прав.</translation>
    </message>
    <message>
        <source>Tavri and its logo are names of this program; all other names belong to their owners.</source>
        <translation>Tavri и его логотип — названия этой программы; все прочие названия принадлежат их владельцам.</translation>
    </message>
    <message>
        <source>Help / Feedback</source>
        <translation>Справка / Отзывы</translation>
    </message>
</context>
<context>
    <name>AddContactGroup</name>
    <message>
        <source>Add group</source>
        <translation>Добавить группу</translation>
    </message>
    <message>
        <source>Group name</source>
        <translation>Название группы</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Добавить</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Close window</source>
        <translation>Закрыть окно</translation>
    </message>
</context>
<context>
    <name>AddContactsPane</name>
    <message>
        <source>Add Contacts</source>
        <translation>Добавить контакты</translation>
    </message>
    <message>
        <source>Type search criteria here</source>
        <translation>Введите условия поиска</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Найти</translation>
    </message>
    <message>
        <source>Click here to execute search</source>
        <translation>Нажмите, чтобы начать поиск</translation>
    </message>
    <message>
        <source>Find More</source>
        <translation>Найти ещё</translation>
    </message>
    <message>
        <source>Include users inactive for more than 30 days</source>
        <translation>Включая пользователей, неактивных более 30 дней</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Поиск...</translation>
    </message>
    <message>
        <source>NO RESULTS FOUND</source>
        <translation>НИЧЕГО НЕ НАЙДЕНО</translation>
    </message>
    <message>
        <source>Remove friend</source>
        <translation>Удалить из друзей</translation>
    </message>
    <message>
        <source>Add friend</source>
        <translation>Добавить в друзья</translation>
    </message>
</context>
<context>
    <name>Assertion</name>
    <message>
        <source>Tavri Fatal Error</source>
        <translation>Критическая ошибка Tavri</translation>
    </message>
</context>
<context>
    <name>AudioCuesManager</name>
    <message>
        <source>%2 has joined %1</source>
        <translation>%2 присоединяется к %1</translation>
    </message>
    <message>
        <source>%2 has left %1</source>
        <translation>%2 покидает %1</translation>
    </message>
    <message>
        <source>You have joined %1</source>
        <translation>Вы присоединились к %1</translation>
    </message>
    <message>
        <source>You have left %1</source>
        <translation>Вы покинули %1</translation>
    </message>
    <message>
        <source>%2 said %1</source>
        <translation>%2 говорит: %1</translation>
    </message>
    <message>
        <source>%3 said %1 in %2</source>
        <translation>%3 говорит в %2: %1</translation>
    </message>
    <message>
        <source>%1 is online</source>
        <translation>%1 в сети</translation>
    </message>
    <message>
        <source>%1 is offline</source>
        <translation>%1 не в сети</translation>
    </message>
    <message>
        <source>%2 has dropped from %1</source>
        <translation>%2 отключается от %1</translation>
    </message>
    <message>
        <source>%2 has been kicked from %1</source>
        <translation>%2 исключён из %1</translation>
    </message>
    <message>
        <source>%2 has been banned from %1</source>
        <translation>%2 заблокирован в %1</translation>
    </message>
    <message>
        <source>You have dropped from %1</source>
        <translation>Вы отключились от %1</translation>
    </message>
    <message>
        <source>You have been kicked from %1</source>
        <translation>Вас исключили из %1</translation>
    </message>
    <message>
        <source>You have been banned from %1</source>
        <translation>Вас заблокировали в %1</translation>
    </message>
    <message>
        <source>You do not have permission to join %1</source>
        <translation>У вас нет разрешения присоединиться к %1</translation>
    </message>
    <message>
        <source>Microphone muted</source>
        <translation>Микрофон выключен</translation>
    </message>
    <message>
        <source>Microphone unmuted</source>
        <translation>Микрофон включён</translation>
    </message>
    <message>
        <source>When others join a channel</source>
        <translation>Когда другие входят в канал</translation>
    </message>
    <message>
        <source>When others leave a channel</source>
        <translation>Когда другие покидают канал</translation>
    </message>
    <message>
        <source>When I join a channel</source>
        <translation>Когда я вхожу в канал</translation>
    </message>
    <message>
        <source>When I leave a channel</source>
        <translation>Когда я покидаю канал</translation>
    </message>
    <message>
        <source>On incoming private message</source>
        <translation>При получении личного сообщения</translation>
    </message>
    <message>
        <source>On incoming channel message</source>
        <translation>При получении сообщения в канале</translation>
    </message>
    <message>
        <source>When friend comes online</source>
        <translation>Когда друг появляется в сети</translation>
    </message>
    <message>
        <source>When friend goes offline</source>
        <translation>Когда друг выходит из сети</translation>
    </message>
    <message>
        <source>New notification</source>
        <translation>Новое уведомление</translation>
    </message>
    <message>
        <source>&lt;default&gt;</source>
        <translation>&lt;по умолчанию&gt;</translation>
    </message>
    <message>
        <source> a link </source>
        <translation> ссылка </translation>
    </message>
</context>
<context>
    <name>CFindUsers</name>
    <message>
        <source>Find friends</source>
        <translation>Найти друзей</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Добавить</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>added</source>
        <translation>добавлен</translation>
    </message>
    <message>
        <source>removed</source>
        <translation>удалён</translation>
    </message>
    <message>
        <source>Edit members: %1</source>
        <translation>Участники: %1</translation>
    </message>
    <message>
        <source>Edit banned users: %1</source>
        <translation>Заблокированные: %1</translation>
    </message>
    <message>
        <source>Edit moderators: %1</source>
        <translation>Модераторы: %1</translation>
    </message>
    <message>
        <source>Invite / Join</source>
        <translation>Пригласить / Войти</translation>
    </message>
    <message>
        <source>Invite</source>
        <translation>Пригласить</translation>
    </message>
    <message>
        <source>invited</source>
        <translation>приглашён</translation>
    </message>
    <message>
        <source>uninvited</source>
        <translation>приглашение отозвано</translation>
    </message>
</context>
<context>
    <name>ChannelDetails</name>
    <message>
        <source>Password protected</source>
        <translation>Защищён паролем</translation>
    </message>
    <message>
        <source>Invitation only</source>
        <translation>Только по приглашению</translation>
    </message>
    <message>
        <source>Public</source>
        <translation>Открытый</translation>
    </message>
    <message>
        <source>Access: %1</source>
        <translation>Доступ: %1</translation>
    </message>
    <message>
        <source>Members</source>
        <translation>Участники</translation>
    </message>
    <message>
        <source>Moderators</source>
        <translation>Модераторы</translation>
    </message>
    <message>
        <source>Banned</source>
        <translation>Заблокированные</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Изменить</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>Войти</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
</context>
<context>
    <name>ChannelPasswordRequested</name>
    <message>
        <source>%1 needs a password.</source>
        <translation>Для %1 нужен пароль.</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Пароль</translation>
    </message>
    <message>
        <source>Save password</source>
        <translation>Сохранить пароль</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>Войти</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>ChannelSettings</name>
    <message>
        <source>Name</source>
        <translation>Название</translation>
    </message>
    <message>
        <source>Inside: %1</source>
        <translation>Внутри: %1</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Описание</translation>
    </message>
    <message>
        <source>Welcome message</source>
        <translation>Приветствие</translation>
    </message>
    <message>
        <source>Access</source>
        <translation>Доступ</translation>
    </message>
    <message>
        <source>Public</source>
        <translation>Открытый</translation>
    </message>
    <message>
        <source>Password protected</source>
        <translation>Защищён паролем</translation>
    </message>
    <message>
        <source>Invitation only</source>
        <translation>Только по приглашению</translation>
    </message>
    <message>
        <source>New password</source>
        <translation>Новый пароль</translation>
    </message>
    <message>
        <source>Members</source>
        <translation>Участники</translation>
    </message>
    <message>
        <source>Moderators</source>
        <translation>Модераторы</translation>
    </message>
    <message>
        <source>Banned</source>
        <translation>Заблокированные</translation>
    </message>
    <message>
        <source>Find users</source>
        <translation>Найти пользователей</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Поиск</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Добавить</translation>
    </message>
    <message>
        <source>Delete channel</source>
        <translation>Удалить канал</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Сохранить</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>ChannelsPane</name>
    <message>
        <source>Channels</source>
        <translation>Каналы</translation>
    </message>
    <message>
        <source>Find Channels</source>
        <translation>Найти каналы</translation>
    </message>
    <message>
        <source>Create a new Channel</source>
        <translation>Создать канал</translation>
    </message>
    <message>
        <source>Click on the add channel icon to create a root channel</source>
        <translation>Нажмите значок добавления канала, чтобы создать корневой канал</translation>
    </message>
</context>
<context>
    <name>ContactsPane</name>
    <message>
        <source>Contacts ( %1 / %2 )</source>
        <translation>Контакты ( %1 / %2 )</translation>
    </message>
    <message>
        <source>Add group</source>
        <translation>Добавить группу</translation>
    </message>
    <message>
        <source>Add a contact</source>
        <translation>Добавить контакт</translation>
    </message>
    <message>
        <source>Remove this group</source>
        <translation>Удалить эту группу</translation>
    </message>
    <message>
        <source>No friends online</source>
        <translation>Нет друзей в сети</translation>
    </message>
    <message>
        <source>Click on the search icon to find and add contacts</source>
        <translation>Нажмите значок поиска, чтобы найти и добавить контакты</translation>
    </message>
</context>
<context>
    <name>Conversation</name>
    <message>
        <source>Open private chat</source>
        <translation>Открыть личный чат</translation>
    </message>
    <message>
        <source>Open private chat w/ %1 others</source>
        <translation>Открыть личный чат ещё с %1</translation>
    </message>
    <message>
        <source>Open private chat w/ %1</source>
        <translation>Открыть личный чат с %1</translation>
    </message>
    <message>
        <source>You have enabled audio.</source>
        <translation>Вы включили звук.</translation>
    </message>
    <message>
        <source>You have enabled audio, waiting for other participants to join...</source>
        <translation>Вы включили звук, ожидание других участников...</translation>
    </message>
    <message>
        <source>Cannot be in another channel while in echo channel.</source>
        <translation>Нельзя находиться в другом канале, пока вы в эхо-канале.</translation>
    </message>
    <message>
        <source>Cannot be in echo channel while in another channel.</source>
        <translation>Нельзя находиться в эхо-канале, пока вы в другом канале.</translation>
    </message>
    <message>
        <source>Cannot join more than 6 channels at a time, please exit one before joining another.</source>
        <translation>Нельзя находиться более чем в 6 каналах одновременно; выйдите из одного, прежде чем войти в другой.</translation>
    </message>
    <message>
        <source>Conversation</source>
        <translation>Беседа</translation>
    </message>
    <message>
        <source>Password required to join %1</source>
        <translation>Для входа в %1 нужен пароль</translation>
    </message>
    <message>
        <source>Channel details: %1</source>
        <translation>Сведения о канале: %1</translation>
    </message>
    <message>
        <source>Create new channel</source>
        <translation>Создать канал</translation>
    </message>
    <message>
        <source>Enter name for channel</source>
        <translation>Введите название канала</translation>
    </message>
    <message>
        <source>Channel Settings: %1</source>
        <translation>Настройки канала: %1</translation>
    </message>
    <message>
        <source>Confirm delete: %1</source>
        <translation>Подтвердите удаление: %1</translation>
    </message>
    <message>
        <source>%1 has joined</source>
        <translation>%1 присоединяется</translation>
    </message>
    <message>
        <source>%1 has left</source>
        <translation>%1 выходит</translation>
    </message>
    <message>
        <source>Private Chat w/ %1</source>
        <translation>Личный чат с %1</translation>
    </message>
    <message>
        <source>Someone</source>
        <translation>Кто-то</translation>
    </message>
    <message>
        <source>... waiting for %1 to enable voice.</source>
        <translation>... ожидание, пока %1 включит голос.</translation>
    </message>
    <message>
        <source>%1 is offline, and cannot be invited to a private voice conversation.</source>
        <translation>%1 не в сети, поэтому его нельзя пригласить в личный голосовой разговор.</translation>
    </message>
    <message>
        <source>%1 is on an older version, and needs to upgrade Tavri to support temporary conversation audio.</source>
        <translation>У %1 старая версия: нужно обновить Tavri, чтобы поддерживался звук во временных беседах.</translation>
    </message>
    <message>
        <source>%1 is offline, and cannot be invited to a group text chat.</source>
        <translation>%1 не в сети, поэтому его нельзя пригласить в групповой текстовый чат.</translation>
    </message>
    <message>
        <source>%1 is on an older version, and does not support multi-party text chat outside of saved channels.</source>
        <translation>У %1 старая версия, которая не поддерживает групповой текстовый чат вне сохранённых каналов.</translation>
    </message>
    <message>
        <source>%1 is offline, and cannot be invited to a group text chat except by link.</source>
        <translation>%1 не в сети, и пригласить его в групповой текстовый чат можно только по ссылке.</translation>
    </message>
</context>
<context>
    <name>ConversationPane</name>
    <message>
        <source>Voice off</source>
        <translation>Голос выключен</translation>
    </message>
    <message>
        <source>Voice on</source>
        <translation>Голос включён</translation>
    </message>
    <message>
        <source>%1 typing...</source>
        <translation>%1 печатает...</translation>
    </message>
    <message>
        <source>Type a message</source>
        <translation>Введите сообщение</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Отправить</translation>
    </message>
</context>
<context>
    <name>DLabelSquare</name>
    <message>
        <source>Copy</source>
        <translation>Копировать</translation>
    </message>
</context>
<context>
    <name>DTitledWindow</name>
    <message>
        <source>Click to minimize to taskbar</source>
        <translation>Нажмите, чтобы свернуть на панель задач</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Click here for menu</source>
        <translation>Нажмите, чтобы открыть меню</translation>
    </message>
</context>
<context>
    <name>DTitledWindowBasic</name>
    <message>
        <source>Close window</source>
        <translation>Закрыть окно</translation>
    </message>
</context>
<context>
    <name>Dialog</name>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
</context>
<context>
    <name>EditPresenceMessages</name>
    <message>
        <source>Edit status messages</source>
        <translation>Изменить сообщения статуса</translation>
    </message>
    <message>
        <source>Status message when Online:</source>
        <translation>Сообщение статуса «В сети»:</translation>
    </message>
    <message>
        <source>Enter text shown when Online</source>
        <translation>Введите текст для статуса «В сети»</translation>
    </message>
    <message>
        <source>Status message when Away:</source>
        <translation>Сообщение статуса «Отошёл»:</translation>
    </message>
    <message>
        <source>Enter text shown when Away</source>
        <translation>Введите текст для статуса «Отошёл»</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>По умолчанию</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Сохранить</translation>
    </message>
</context>
<context>
    <name>FindChannels</name>
    <message>
        <source>Type search criteria here</source>
        <translation>Введите условия поиска</translation>
    </message>
    <message>
        <source>Find More</source>
        <translation>Найти ещё</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Найти</translation>
    </message>
    <message>
        <source>Click here to execute search</source>
        <translation>Нажмите, чтобы начать поиск</translation>
    </message>
    <message>
        <source>Include Only My Favorite and Owned Channels</source>
        <translation>Только избранные и мои каналы</translation>
    </message>
    <message>
        <source>Include channels inactive for more than 30 days</source>
        <translation>Включая каналы, неактивные более 30 дней</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Поиск...</translation>
    </message>
    <message>
        <source>NO RESULTS FOUND</source>
        <translation>НИЧЕГО НЕ НАЙДЕНО</translation>
    </message>
    <message>
        <source>Owner: %1</source>
        <translation>Владелец: %1</translation>
    </message>
    <message>
        <source>Remove From Favorites</source>
        <translation>Убрать из избранного</translation>
    </message>
    <message>
        <source>Add To Favorites</source>
        <translation>Добавить в избранное</translation>
    </message>
    <message>
        <source>View Channel Details</source>
        <translation>Сведения о канале</translation>
    </message>
    <message>
        <source>Start Private Chat With Owner</source>
        <translation>Начать личный чат с владельцем</translation>
    </message>
    <message>
        <source>View Owner&apos;s Profile</source>
        <translation>Профиль владельца</translation>
    </message>
    <message>
        <source>Find Channels</source>
        <translation>Найти каналы</translation>
    </message>
</context>
<context>
    <name>FindUsers</name>
    <message>
        <source>Type search criteria here</source>
        <translation>Введите условия поиска</translation>
    </message>
    <message>
        <source>Find More</source>
        <translation>Найти ещё</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Найти</translation>
    </message>
    <message>
        <source>Click here to execute search</source>
        <translation>Нажмите, чтобы начать поиск</translation>
    </message>
    <message>
        <source>Include users inactive for more than 30 days</source>
        <translation>Включая пользователей, неактивных более 30 дней</translation>
    </message>
    <message>
        <source>Search only my friends</source>
        <translation>Искать только среди друзей</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Поиск...</translation>
    </message>
    <message>
        <source>NO RESULTS FOUND</source>
        <translation>НИЧЕГО НЕ НАЙДЕНО</translation>
    </message>
</context>
<context>
    <name>FriendContextMenu</name>
    <message>
        <source>START PRIVATE CHAT...</source>
        <translation>НАЧАТЬ ЛИЧНЫЙ ЧАТ...</translation>
    </message>
    <message>
        <source>...ON %1...</source>
        <translation>...В %1...</translation>
    </message>
    <message>
        <source>VIEW LOGS</source>
        <translation>ЖУРНАЛЫ</translation>
    </message>
    <message>
        <source>VIEW PROFILE...</source>
        <translation>ПРОФИЛЬ...</translation>
    </message>
    <message>
        <source>REMOVE FRIEND</source>
        <translation>УДАЛИТЬ ИЗ ДРУЗЕЙ</translation>
    </message>
</context>
<context>
    <name>FriendHeaderContextMenu</name>
    <message>
        <source>HIDE OFFLINE FRIENDS</source>
        <translation>СКРЫТЬ ДРУЗЕЙ НЕ В СЕТИ</translation>
    </message>
    <message>
        <source>SHOW OFFLINE FRIENDS</source>
        <translation>ПОКАЗАТЬ ДРУЗЕЙ НЕ В СЕТИ</translation>
    </message>
    <message>
        <source>ADD FRIENDS VIA EMAIL...</source>
        <translation>ДОБАВИТЬ ДРУЗЕЙ ПО ПОЧТЕ...</translation>
    </message>
    <message>
        <source>FIND FRIENDS ON TAVRI...</source>
        <translation>НАЙТИ ДРУЗЕЙ В TAVRI...</translation>
    </message>
    <message>
        <source>REFRESH</source>
        <translation>ОБНОВИТЬ</translation>
    </message>
</context>
<context>
    <name>HiddenWindow</name>
    <message>
        <source>Internal Use Only</source>
        <translation>Только для внутреннего использования</translation>
    </message>
    <message>
        <source>Enabling / Disabling AEC</source>
        <extracomment>Hint on the switch of the SDK&apos;s acoustic echo cancellation</extracomment>
        <translation>Включение / выключение AEC</translation>
    </message>
    <message>
        <source>Enabling / Disabling AGC</source>
        <extracomment>Hint on the switch of the SDK&apos;s automatic gain control</extracomment>
        <translation>Включение / выключение AGC</translation>
    </message>
    <message>
        <source>Enabling / Disabling VAD</source>
        <extracomment>Hint on the switch of the SDK&apos;s voice activity detection</extracomment>
        <translation>Включение / выключение VAD</translation>
    </message>
    <message>
        <source>Click here to copy call stats to clipboard</source>
        <translation>Нажмите, чтобы скопировать статистику звонков в буфер обмена</translation>
    </message>
    <message>
        <source>Click here to clear call stats</source>
        <translation>Нажмите, чтобы очистить статистику звонков</translation>
    </message>
</context>
<context>
    <name>Hint</name>
    <message>
        <source>Disable all hints</source>
        <translation>Отключить все подсказки</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Назад</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Далее</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Готово</translation>
    </message>
</context>
<context>
    <name>InviteFriendsViaEmail</name>
    <message>
        <source>E-mail addresses (separated by commas)</source>
        <translation>Адреса эл. почты (через запятую)</translation>
    </message>
    <message>
        <source>friend@example.org, another@example.org</source>
        <translation>friend@example.org, another@example.org</translation>
    </message>
    <message>
        <source>Personal message (optional)</source>
        <translation>Личное сообщение (необязательно)</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Отправить</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>JoinedChannelContextMenu</name>
    <message>
        <source>INVITE / JOIN</source>
        <translation>ПРИГЛАСИТЬ / ВОЙТИ</translation>
    </message>
    <message>
        <source>ADD AS FAVORITE</source>
        <translation>ДОБАВИТЬ В ИЗБРАННОЕ</translation>
    </message>
    <message>
        <source>REMOVE FROM FAVORITES</source>
        <translation>УБРАТЬ ИЗ ИЗБРАННОГО</translation>
    </message>
    <message>
        <source>MUTE EVERYONE</source>
        <translation>ЗАГЛУШИТЬ ВСЕХ</translation>
    </message>
    <message>
        <source>UNMUTE EVERYONE</source>
        <translation>ВКЛЮЧИТЬ ЗВУК ВСЕМ</translation>
    </message>
    <message>
        <source>EXIT CONVERSATION</source>
        <translation>ВЫЙТИ ИЗ БЕСЕДЫ</translation>
    </message>
    <message>
        <source>VIEW INFO...</source>
        <translation>СВЕДЕНИЯ...</translation>
    </message>
</context>
<context>
    <name>LocalUser</name>
    <message>
        <source>away</source>
        <translation>отошёл</translation>
    </message>
    <message>
        <source>online</source>
        <translation>в сети</translation>
    </message>
    <message>
        <source>offline</source>
        <translation>не в сети</translation>
    </message>
    <message>
        <source>%1 is requesting a voice conversation, click on the icon to enable audio.</source>
        <translation>%1 предлагает голосовой разговор; нажмите значок, чтобы включить звук.</translation>
    </message>
    <message>
        <source>%1 has enabled audio, click on the icon to enable audio.</source>
        <translation>%1 включает звук; нажмите значок, чтобы включить звук.</translation>
    </message>
    <message>
        <source>%1 has invited you to join a private conversation with others.  &lt;a href=&quot;%2&quot;&gt;Click here to join now&lt;/a&gt;.</source>
        <translation>%1 приглашает вас в личную беседу с другими участниками.  &lt;a href=&quot;%2&quot;&gt;Нажмите, чтобы присоединиться&lt;/a&gt;.</translation>
    </message>
    <message>
        <source>Someone</source>
        <translation>Кто-то</translation>
    </message>
    <message>
        <source>%1 has added you as a friend</source>
        <translation>%1 добавляет вас в друзья</translation>
    </message>
    <message>
        <source>%1 has removed you as a friend</source>
        <translation>%1 удаляет вас из друзей</translation>
    </message>
    <message>
        <source>a conversation</source>
        <translation>беседу</translation>
    </message>
    <message>
        <source>%1 has invited you to %2.  Click to join the channel now.</source>
        <translation>%1 приглашает вас в %2.  Нажмите, чтобы войти в канал.</translation>
    </message>
</context>
<context>
    <name>LocalUserContextMenu</name>
    <message>
        <source>Set Status</source>
        <translation>Выбрать статус</translation>
    </message>
    <message>
        <source>EDIT PROFILE</source>
        <translation>ИЗМЕНИТЬ ПРОФИЛЬ</translation>
    </message>
    <message>
        <source>AUDIO SETTINGS</source>
        <translation>НАСТРОЙКИ ЗВУКА</translation>
    </message>
    <message>
        <source>GENERAL SETTINGS</source>
        <translation>ОБЩИЕ НАСТРОЙКИ</translation>
    </message>
    <message>
        <source>SOUNDS</source>
        <translation>ЗВУКИ</translation>
    </message>
    <message>
        <source>About Tavri</source>
        <translation>О программе Tavri</translation>
    </message>
    <message>
        <source>CHECK FOR UPDATES</source>
        <translation>ПРОВЕРИТЬ ОБНОВЛЕНИЯ</translation>
    </message>
    <message>
        <source>TUTORIAL</source>
        <translation>ОБУЧЕНИЕ</translation>
    </message>
    <message>
        <source>LOGOUT</source>
        <translation>ВЫЙТИ ИЗ УЧЁТНОЙ ЗАПИСИ</translation>
    </message>
    <message>
        <source>EXIT TAVRI</source>
        <translation>ЗАКРЫТЬ TAVRI</translation>
    </message>
</context>
<context>
    <name>Login</name>
    <message>
        <source>That screen name is already taken, please choose another</source>
        <translation>Это имя уже занято, выберите другое</translation>
    </message>
    <message>
        <source>Logged out.</source>
        <translation>Вы вышли.</translation>
    </message>
    <message>
        <source>Contacting login service...</source>
        <translation>Связь со службой входа...</translation>
    </message>
    <message>
        <source>Contacting voice service...</source>
        <translation>Связь с голосовой службой...</translation>
    </message>
    <message>
        <source>Logged in.</source>
        <translation>Вход выполнен.</translation>
    </message>
    <message>
        <source>Logging out...</source>
        <translation>Выход...</translation>
    </message>
    <message>
        <source>Reconnecting...</source>
        <translation>Повторное подключение...</translation>
    </message>
    <message>
        <source>Error: Please enter a valid email address</source>
        <translation>Ошибка: введите правильный адрес эл. почты</translation>
    </message>
    <message>
        <source>Error: Password must be at least 6 characters</source>
        <translation>Ошибка: пароль должен содержать не менее 6 символов</translation>
    </message>
    <message>
        <source>Error: Passwords do not match</source>
        <translation>Ошибка: пароли не совпадают</translation>
    </message>
    <message>
        <source>Error: </source>
        <translation>Ошибка: </translation>
    </message>
    <message>
        <source>Account Created! Check your email for a link to activate your account</source>
        <translation>Учётная запись создана! Проверьте почту: там ссылка для её активации</translation>
    </message>
    <message>
        <source>Network Error: </source>
        <translation>Ошибка сети: </translation>
    </message>
    <message>
        <source> - please check your network settings and try again</source>
        <translation> - проверьте настройки сети и повторите попытку</translation>
    </message>
    <message>
        <source>Account creation failed - please try again in a few minutes</source>
        <translation>Не удалось создать учётную запись - повторите попытку через несколько минут</translation>
    </message>
    <message>
        <source>Login  </source>
        <translation>Вход  </translation>
    </message>
    <message>
        <source>Sign Up</source>
        <translation>Регистрация</translation>
    </message>
    <message>
        <source>Powered by </source>
        <translation>Работает на </translation>
    </message>
    <message>
        <source>Open voice and text chat</source>
        <translation>Открытый голосовой и текстовый чат</translation>
    </message>
    <message>
        <source>Version </source>
        <translation>Версия </translation>
    </message>
    <message>
        <source>Enter e-mail</source>
        <translation>Введите эл. почту</translation>
    </message>
    <message>
        <source>Enter Password</source>
        <translation>Введите пароль</translation>
    </message>
    <message>
        <source>Forgot password?</source>
        <translation>Забыли пароль?</translation>
    </message>
    <message>
        <source>Login automatically</source>
        <translation>Автовход</translation>
    </message>
    <message>
        <source>Create a New Account</source>
        <translation>Создать учётную запись</translation>
    </message>
    <message>
        <source>Problem contacting voice server:</source>
        <translation>Не удаётся связаться с голосовым сервером:</translation>
    </message>
    <message>
        <source>already have an account?</source>
        <translation>уже есть учётная запись?</translation>
    </message>
    <message>
        <source>Screen Name - May contain</source>
        <translation>Имя пользователя - может содержать</translation>
    </message>
    <message>
        <source>This will be visible in Tavri</source>
        <translation>Это имя будет видно в Tavri</translation>
    </message>
    <message>
        <source>Email</source>
        <translation>Эл. почта</translation>
    </message>
    <message>
        <source>Use this to log in</source>
        <translation>Используется для входа</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Пароль</translation>
    </message>
    <message>
        <source>Minimum of 6 characters</source>
        <translation>Не менее 6 символов</translation>
    </message>
    <message>
        <source>Confirm Your Password</source>
        <translation>Подтвердите пароль</translation>
    </message>
    <message>
        <source>Confirm Password</source>
        <translation>Повторите пароль</translation>
    </message>
    <message>
        <source>I hereby confirm that I am at least 13 years of age</source>
        <translation>Подтверждаю, что мне исполнилось 13 лет</translation>
    </message>
    <message>
        <source>forgot password?</source>
        <translation>забыли пароль?</translation>
    </message>
</context>
<context>
    <name>MainFrame</name>
    <message>
        <source>Click to minimize to system tray</source>
        <translation>Нажмите, чтобы свернуть в системный лоток</translation>
    </message>
    <message>
        <source>Click to minimize to taskbar</source>
        <translation>Нажмите, чтобы свернуть на панель задач</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Click here for menu</source>
        <translation>Нажмите, чтобы открыть меню</translation>
    </message>
    <message>
        <source>Tavri is up to date</source>
        <translation>Tavri не требует обновления</translation>
    </message>
</context>
<context>
    <name>MainFrameHeader</name>
    <message>
        <source>Channels</source>
        <translation>Каналы</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Контакты</translation>
    </message>
    <message>
        <source>Add Contacts</source>
        <translation>Добавить контакты</translation>
    </message>
    <message>
        <source>Recent History</source>
        <translation>Недавние</translation>
    </message>
    <message>
        <source>Edit Profile</source>
        <translation>Изменить профиль</translation>
    </message>
    <message>
        <source>Click to change status</source>
        <translation>Нажмите, чтобы изменить статус</translation>
    </message>
    <message>
        <source>Change Skin</source>
        <translation>Сменить оформление</translation>
    </message>
    <message>
        <source>Report Issue</source>
        <translation>Сообщить о проблеме</translation>
    </message>
    <message>
        <source>Clear notifications</source>
        <translation>Очистить уведомления</translation>
    </message>
    <message>
        <source>Notifications</source>
        <translation>Уведомления</translation>
    </message>
</context>
<context>
    <name>NetworkTrafficBlockedWarningDialog</name>
    <message>
        <source>Alert: Voice data blocked</source>
        <translation>Внимание: голосовые данные заблокированы</translation>
    </message>
    <message>
        <source>Network configuration appears to be blocking voice data.  Please check your router settings and confirm that these ports are allowed:</source>
        <translation>Похоже, настройки сети блокируют голосовые данные.  Проверьте настройки маршрутизатора и убедитесь, что разрешены эти порты:</translation>
    </message>
    <message>
        <source>UDP on ports 3478, 3479</source>
        <translation>UDP, порты 3478, 3479</translation>
    </message>
    <message>
        <source>UDP on ports 5060-5062</source>
        <translation>UDP, порты 5060-5062</translation>
    </message>
    <message>
        <source>UDP on port 6250</source>
        <translation>UDP, порт 6250</translation>
    </message>
    <message>
        <source>UDP on ports 12000-32000</source>
        <translation>UDP, порты 12000-32000</translation>
    </message>
    <message>
        <source>For more about the ports the program needs, see %1.</source>
        <translation>Подробнее о нужных программе портах см. %1.</translation>
    </message>
    <message>
        <source>this forum sticky</source>
        <translation>эту закреплённую тему форума</translation>
    </message>
</context>
<context>
    <name>NotificationContextMenu</name>
    <message>
        <source>Add as friend</source>
        <translation>Добавить в друзья</translation>
    </message>
    <message>
        <source>Remove as friend</source>
        <translation>Удалить из друзей</translation>
    </message>
    <message>
        <source>View sender profile...</source>
        <translation>Профиль отправителя...</translation>
    </message>
    <message>
        <source>Private Chat with Sender</source>
        <translation>Личный чат с отправителем</translation>
    </message>
    <message>
        <source>Join channel</source>
        <translation>Войти в канал</translation>
    </message>
    <message>
        <source>View Channel Details...</source>
        <translation>Сведения о канале...</translation>
    </message>
    <message>
        <source>Delete notification</source>
        <translation>Удалить уведомление</translation>
    </message>
</context>
<context>
    <name>NotificationList</name>
    <message>
        <source>a conversation</source>
        <translation>беседу</translation>
    </message>
    <message>
        <source>You</source>
        <translation>Вы</translation>
    </message>
    <message>
        <source>Someone</source>
        <translation>Кто-то</translation>
    </message>
    <message>
        <source>%1 added you as a friend</source>
        <translation>%1 добавил(а) вас в друзья</translation>
    </message>
    <message>
        <source>%1 removed you as a friend</source>
        <translation>%1 удалил(а) вас из друзей</translation>
    </message>
    <message>
        <source>You invited %1 to %2</source>
        <translation>Вы пригласили %1 в %2</translation>
    </message>
    <message>
        <source>%1 invited you to %2</source>
        <translation>%1 пригласил(а) вас в %2</translation>
    </message>
    <message>
        <source>%1 has made you a moderator for %2</source>
        <translation>%1 назначил(а) вас модератором %2</translation>
    </message>
    <message>
        <source>%1 has removed your moderator status for %2</source>
        <translation>%1 снял(а) с вас права модератора %2</translation>
    </message>
    <message>
        <source>%1 has granted you access to %2</source>
        <translation>%1 предоставил(а) вам доступ к %2</translation>
    </message>
    <message>
        <source>%1 has revoked your access to %2</source>
        <translation>%1 закрыл(а) вам доступ к %2</translation>
    </message>
    <message>
        <source>You invited %1 to join Tavri</source>
        <translation>Вы пригласили %1 в Tavri</translation>
    </message>
</context>
<context>
    <name>NotificationsArea</name>
    <message>
        <source>Update is available!</source>
        <translation>Доступно обновление!</translation>
    </message>
    <message>
        <source>Right click for options</source>
        <translation>Щёлкните правой кнопкой для выбора действий</translation>
    </message>
</context>
<context>
    <name>NotificationsHeaderContextMenu</name>
    <message>
        <source>Clear all notifications</source>
        <translation>Очистить все уведомления</translation>
    </message>
</context>
<context>
    <name>OwnedChannelsHeaderContextMenu</name>
    <message>
        <source>NEW CHANNEL...</source>
        <translation>НОВЫЙ КАНАЛ...</translation>
    </message>
    <message>
        <source>REFRESH</source>
        <translation>ОБНОВИТЬ</translation>
    </message>
</context>
<context>
    <name>ParticipantContextMenu</name>
    <message>
        <source>START PRIVATE CHAT</source>
        <translation>НАЧАТЬ ЛИЧНЫЙ ЧАТ</translation>
    </message>
    <message>
        <source>REMOVE AS FRIEND</source>
        <translation>УДАЛИТЬ ИЗ ДРУЗЕЙ</translation>
    </message>
    <message>
        <source>ADD AS FRIEND</source>
        <translation>ДОБАВИТЬ В ДРУЗЬЯ</translation>
    </message>
    <message>
        <source>VIEW PROFILE...</source>
        <translation>ПРОФИЛЬ...</translation>
    </message>
    <message>
        <source>UNMUTE USER</source>
        <translation>ВКЛЮЧИТЬ ЗВУК</translation>
    </message>
    <message>
        <source>MUTE USER</source>
        <translation>ЗАГЛУШИТЬ</translation>
    </message>
    <message>
        <source>UNMUTE USER FOR EVERYONE</source>
        <translation>ВКЛЮЧИТЬ ЗВУК ДЛЯ ВСЕХ</translation>
    </message>
    <message>
        <source>MUTE USER FOR EVERYONE</source>
        <translation>ЗАГЛУШИТЬ ДЛЯ ВСЕХ</translation>
    </message>
    <message>
        <source>Change text color</source>
        <translation>Изменить цвет текста</translation>
    </message>
    <message>
        <source>KICK USER</source>
        <translation>ИСКЛЮЧИТЬ</translation>
    </message>
    <message>
        <source>BAN USER</source>
        <translation>ЗАБЛОКИРОВАТЬ</translation>
    </message>
    <message>
        <source>REMOVE MODERATOR PRIVILEGES</source>
        <translation>СНЯТЬ ПРАВА МОДЕРАТОРА</translation>
    </message>
    <message>
        <source>ADD MODERATOR PRIVILEGES</source>
        <translation>ДАТЬ ПРАВА МОДЕРАТОРА</translation>
    </message>
    <message>
        <source>Remove from list</source>
        <translation>Убрать из списка</translation>
    </message>
</context>
<context>
    <name>ParticipantsPopup</name>
    <message>
        <source>Users in channel</source>
        <translation>Пользователи в канале</translation>
    </message>
</context>
<context>
    <name>PermanentConversationDeleteConfirmDialog</name>
    <message>
        <source>Confirm delete</source>
        <translation>Подтвердите удаление</translation>
    </message>
    <message>
        <source>You are about to delete %1, are you sure?</source>
        <translation>Вы собираетесь удалить %1. Продолжить?</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>PermanentConversationItemContextMenu</name>
    <message>
        <source>JOIN CHANNEL</source>
        <translation>ВОЙТИ В КАНАЛ</translation>
    </message>
    <message>
        <source>VIEW LOGS</source>
        <translation>ЖУРНАЛЫ</translation>
    </message>
    <message>
        <source>SHARE</source>
        <translation>ПОДЕЛИТЬСЯ</translation>
    </message>
    <message>
        <source>INVITE / JOIN</source>
        <translation>ПРИГЛАСИТЬ / ВОЙТИ</translation>
    </message>
    <message>
        <source>VIA EMAIL...</source>
        <translation>ПО ПОЧТЕ...</translation>
    </message>
    <message>
        <source>VIA LINK (copied to clipboard)</source>
        <translation>ССЫЛКОЙ (скопирована в буфер обмена)</translation>
    </message>
    <message>
        <source>EDIT CHANNEL...</source>
        <translation>ИЗМЕНИТЬ КАНАЛ...</translation>
    </message>
    <message>
        <source>DELETE CHANNEL</source>
        <translation>УДАЛИТЬ КАНАЛ</translation>
    </message>
    <message>
        <source>ADD SUBCHANNEL...</source>
        <translation>ДОБАВИТЬ ПОДКАНАЛ...</translation>
    </message>
    <message>
        <source>VIEW INFO...</source>
        <translation>СВЕДЕНИЯ...</translation>
    </message>
    <message>
        <source>REMOVE FROM FAVORITES</source>
        <translation>УБРАТЬ ИЗ ИЗБРАННОГО</translation>
    </message>
</context>
<context>
    <name>PermanentConversationTreeItemDelegate</name>
    <message numerus="yes">
        <source>%n user(s)</source>
        <translation>
            <numerusform>%n пользователь</numerusform>
            <numerusform>%n пользователя</numerusform>
            <numerusform>%n пользователей</numerusform>
        </translation>
    </message>
    <message>
        <source>Remove from favorites</source>
        <translation>Убрать из избранного</translation>
    </message>
    <message>
        <source>Add to favorites</source>
        <translation>Добавить в избранное</translation>
    </message>
    <message>
        <source>Edit channel</source>
        <translation>Изменить канал</translation>
    </message>
    <message>
        <source>Copy a link to this channel</source>
        <translation>Скопировать ссылку на канал</translation>
    </message>
    <message>
        <source>Leave channel</source>
        <translation>Покинуть канал</translation>
    </message>
</context>
<context>
    <name>PostCallSurvey</name>
    <message>
        <source>Sorry that you have experienced problems, please let us know more details so we can try to resolve them.</source>
        <translation>Жаль, что возникли проблемы. Расскажите подробнее, и мы постараемся их устранить.</translation>
    </message>
    <message>
        <source>Very Poor - conversation was impossible</source>
        <translation>Очень плохо - разговор был невозможен</translation>
    </message>
    <message>
        <source>Poor - conversation was hard to follow</source>
        <translation>Плохо - разговор было трудно понять</translation>
    </message>
    <message>
        <source>Okay - some issues, affected the conversation</source>
        <translation>Терпимо - были помехи, мешавшие разговору</translation>
    </message>
    <message>
        <source>Good - minor issues, not noticeable</source>
        <translation>Хорошо - мелкие помехи, почти незаметные</translation>
    </message>
    <message>
        <source>Great - clear, no problems</source>
        <translation>Отлично - чисто, без проблем</translation>
    </message>
    <message>
        <source>Quality Survey</source>
        <translation>Оценка качества</translation>
    </message>
    <message>
        <source>Please rate your experience for this call.</source>
        <translation>Оцените, пожалуйста, качество этого звонка.</translation>
    </message>
    <message>
        <source>Do not show this screen again</source>
        <translation>Больше не показывать</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Отправить</translation>
    </message>
</context>
<context>
    <name>PresenceStatusMenu</name>
    <message>
        <source>ONLINE</source>
        <translation>В СЕТИ</translation>
    </message>
    <message>
        <source>AWAY</source>
        <translation>ОТОШЁЛ</translation>
    </message>
    <message>
        <source>APPEAR OFFLINE</source>
        <translation>НЕВИДИМКА</translation>
    </message>
    <message>
        <source>EDIT STATUS MESSAGES...</source>
        <translation>СООБЩЕНИЯ СТАТУСА...</translation>
    </message>
</context>
<context>
    <name>QSocialManager</name>
    <message>
        <source>Update available!</source>
        <translation>Доступно обновление!</translation>
    </message>
</context>
<context>
    <name>RecentActivityEntryContextMenu</name>
    <message>
        <source>REJOIN CONVERSATION</source>
        <translation>ВЕРНУТЬСЯ В БЕСЕДУ</translation>
    </message>
    <message>
        <source>VIEW LOG</source>
        <translation>ЖУРНАЛ</translation>
    </message>
</context>
<context>
    <name>RecentHistoryPane</name>
    <message>
        <source>Recent Conversations</source>
        <translation>Недавние беседы</translation>
    </message>
    <message>
        <source>Clear recent activity</source>
        <translation>Очистить недавние</translation>
    </message>
    <message>
        <source>Click to hide participants</source>
        <translation>Нажмите, чтобы скрыть участников</translation>
    </message>
    <message>
        <source>Click to show participants</source>
        <translation>Нажмите, чтобы показать участников</translation>
    </message>
    <message>
        <source>Rejoin conversation</source>
        <translation>Вернуться в беседу</translation>
    </message>
    <message>
        <source>Start private chat</source>
        <translation>Начать личный чат</translation>
    </message>
</context>
<context>
    <name>ReportIssue</name>
    <message>
        <source>Please describe the issue you are experiencing here.</source>
        <translation>Опишите здесь возникшую проблему.</translation>
    </message>
    <message>
        <source>Thank you for the report! We will follow up by e-mail. If no e-mail arrives within two days, please write to %1.</source>
        <translation>Спасибо за сообщение! Мы ответим по эл. почте. Если письмо не придёт в течение двух дней, напишите на %1.</translation>
    </message>
    <message>
        <source>Thank you for the report! Our developers will be looking into it shortly.</source>
        <translation>Спасибо за сообщение! Наши разработчики скоро им займутся.</translation>
    </message>
    <message>
        <source>Report Issue</source>
        <translation>Сообщить о проблеме</translation>
    </message>
    <message>
        <source>Please Check All That Apply</source>
        <translation>Отметьте всё, что подходит</translation>
    </message>
    <message>
        <source>I could not hear other users at all</source>
        <translation>Я совсем не слышал других</translation>
    </message>
    <message>
        <source>I heard other users&apos; audio cut out</source>
        <translation>Звук других пользователей прерывался</translation>
    </message>
    <message>
        <source>Other users&apos; audio had pops and clicks</source>
        <translation>В звуке других пользователей были щелчки и треск</translation>
    </message>
    <message>
        <source>I heard my own voice (echo)</source>
        <translation>Я слышал собственный голос (эхо)</translation>
    </message>
    <message>
        <source>Other users could not hear me</source>
        <translation>Другие меня не слышали</translation>
    </message>
    <message>
        <source>My audio cut out for other users</source>
        <translation>Мой звук прерывался у других</translation>
    </message>
    <message>
        <source>My audio had pops and clicks for other users</source>
        <translation>У других в моём звуке были щелчки и треск</translation>
    </message>
    <message>
        <source>Other users complained I caused echo</source>
        <translation>Другие жаловались на эхо от меня</translation>
    </message>
    <message>
        <source>Send a followup e-mail to </source>
        <translation>Отправить ответное письмо на </translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Отправить</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
</context>
<context>
    <name>SettingsAudioWindow</name>
    <message>
        <source>-Inf</source>
        <translation>-Inf</translation>
    </message>
    <message>
        <source>VOICE OUTPUT</source>
        <translation>ВЫВОД ЗВУКА</translation>
    </message>
    <message>
        <source>Stop Test</source>
        <translation>Остановить проверку</translation>
    </message>
    <message>
        <source>Start Test</source>
        <translation>Начать проверку</translation>
    </message>
    <message>
        <source>Click this button to play prerecorded audio to your configured output device.</source>
        <translation>Нажмите эту кнопку, чтобы воспроизвести записанный звук на выбранном устройстве вывода.</translation>
    </message>
    <message>
        <source>You can use this audio to properly set the volume level.</source>
        <translation>По этому звуку удобно настроить громкость.</translation>
    </message>
    <message>
        <source>Gain: %1 dB</source>
        <translation>Усиление: %1 дБ</translation>
    </message>
    <message>
        <source>Use this slider to adjust your output volume.</source>
        <translation>Этим ползунком настраивается громкость вывода.</translation>
    </message>
    <message>
        <source>Click to unmute</source>
        <translation>Нажмите, чтобы включить звук</translation>
    </message>
    <message>
        <source>Click to mute</source>
        <translation>Нажмите, чтобы выключить звук</translation>
    </message>
    <message>
        <source>VOICE INPUT</source>
        <translation>ВВОД ЗВУКА</translation>
    </message>
    <message>
        <source>If you are using headphones, click this button to record your own</source>
        <translation>Если вы в наушниках, нажмите эту кнопку, чтобы записать свой</translation>
    </message>
    <message>
        <source>voice and play it back as you speak.</source>
        <translation>голос и слышать его во время речи.</translation>
    </message>
    <message>
        <source>This will help you set the input device level correctly.</source>
        <translation>Это поможет правильно настроить уровень устройства ввода.</translation>
    </message>
    <message>
        <source>Help manage audio input levels automatically</source>
        <translation>Автоматически регулировать уровень входного звука</translation>
    </message>
    <message>
        <source>Current Noise Floor</source>
        <translation>Текущий уровень шума</translation>
    </message>
    <message>
        <source>Speech Threshold</source>
        <translation>Порог речи</translation>
    </message>
    <message>
        <source>Speech Threshold Range</source>
        <translation>Диапазон порога речи</translation>
    </message>
    <message>
        <source>Use this slider to adjust the dynamic range for speech detection threshold.  Adjust this if you can&apos;t be heard, or if your background noise is always being heard.</source>
        <translation>Этим ползунком настраивается динамический диапазон порога распознавания речи.  Измените его, если вас не слышно или если постоянно слышен фоновый шум.</translation>
    </message>
    <message>
        <source>Use this slider to adjust your input volume.  Typically, this does not need adjustment.</source>
        <translation>Этим ползунком настраивается громкость ввода.  Обычно её не нужно менять.</translation>
    </message>
    <message>
        <source>This indicates whether your microphone is active or not.</source>
        <translation>Показывает, активен ли микрофон.</translation>
    </message>
    <message>
        <source>Your microphone is active</source>
        <translation>Микрофон активен</translation>
    </message>
    <message>
        <source>Enable your microphone or press your push-to-talk key(s)</source>
        <translation>Включите микрофон или нажмите клавиши «нажми и говори»</translation>
    </message>
    <message>
        <source>Noise floor: %1 dB</source>
        <translation>Уровень шума: %1 дБ</translation>
    </message>
    <message>
        <source>The noise floor is the effective minimum loudness for audio to be transmitted.  Background noise should be below this line, but some background noise will be tolerated up to the speech threshold.</source>
        <translation>Уровень шума — наименьшая громкость, при которой звук передаётся.  Фоновый шум должен быть ниже этой линии, но до порога речи он допустим.</translation>
    </message>
    <message>
        <source>Effective Speech threshold: %1 dB</source>
        <translation>Действующий порог речи: %1 дБ</translation>
    </message>
    <message>
        <source>The effective speech threshold is the relative loudness for audio to be transmitted.  Speaking should be past this line.</source>
        <translation>Действующий порог речи — относительная громкость, при которой звук передаётся.  Речь должна быть выше этой линии.</translation>
    </message>
    <message>
        <source>Please unmute your microphone for proper detection results</source>
        <translation>Включите микрофон, чтобы распознавание работало правильно</translation>
    </message>
    <message>
        <source>TRANSMIT</source>
        <translation>ПЕРЕДАЧА</translation>
    </message>
    <message>
        <source>Open microphone</source>
        <extracomment>Selecting voice detection transmission mode</extracomment>
        <translation>Открытый микрофон</translation>
    </message>
    <message>
        <source>Push and hold to talk</source>
        <extracomment>Key or mouse press and hold to transmit</extracomment>
        <translation>Удерживать, чтобы говорить</translation>
    </message>
    <message>
        <source>Push to mute/unmute</source>
        <extracomment>Press-and-release to toggle transmit</extracomment>
        <translation>Нажать, чтобы выкл./вкл. микрофон</translation>
    </message>
    <message>
        <source>Keys/Mouse Buttons</source>
        <translation>Клавиши/кнопки мыши</translation>
    </message>
    <message>
        <source>Press up to 4 keys/mouse buttons simultaneously</source>
        <translation>Нажмите одновременно до 4 клавиш/кнопок мыши</translation>
    </message>
    <message>
        <source>Click in the box directly above to edit</source>
        <translation>Для изменения щёлкните в поле выше</translation>
    </message>
    <message>
        <source>Left and right mouse buttons are not permitted for PTT</source>
        <translation>Левую и правую кнопки мыши нельзя назначить для «нажми и говори»</translation>
    </message>
    <message>
        <source>WARNING: Please add Tavri to access list. For more information follow the link:</source>
        <translation>ВНИМАНИЕ: добавьте Tavri в список доступа. Подробнее по ссылке:</translation>
    </message>
    <message>
        <source>Click here</source>
        <translation>Нажмите здесь</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Сбросить</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Готово</translation>
    </message>
    <message>
        <source>The audio input test cannot be run while you are in a channel.</source>
        <translation>Проверку ввода звука нельзя провести, пока вы в канале.</translation>
    </message>
    <message>
        <source>Exit Channels to continue the test, or cancel to remain in channel.</source>
        <translation>Выйдите из каналов, чтобы продолжить проверку, или отмените, чтобы остаться.</translation>
    </message>
    <message>
        <source>Exit Channels and Test</source>
        <translation>Выйти из каналов и проверить</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>SettingsGeneralWindow</name>
    <message>
        <source>Tavri PREFERENCES</source>
        <translation>ПАРАМЕТРЫ Tavri</translation>
    </message>
    <message>
        <source>Run at startup</source>
        <translation>Запускать при входе в систему</translation>
    </message>
    <message>
        <source>Login automatically</source>
        <translation>Автовход</translation>
    </message>
    <message>
        <source>Show offline friends</source>
        <translation>Показывать друзей не в сети</translation>
    </message>
    <message>
        <source>Show custom names</source>
        <translation>Показывать выбранные имена</translation>
    </message>
    <message>
        <source>Join channel from hyperlink</source>
        <translation>Входить в канал по ссылке</translation>
    </message>
    <message>
        <source>Disable post-call survey</source>
        <translation>Не предлагать оценку после звонка</translation>
    </message>
    <message>
        <source>Show timestamps in chat</source>
        <translation>Показывать время в чате</translation>
    </message>
    <message>
        <source>Disconnect from idle channels</source>
        <translation>Отключаться от пустых каналов</translation>
    </message>
    <message>
        <source>When enabled, you will be prompted to disconnect from channels when you are the only participant for several minutes.  You may opt out of disconnecting at that time.  Disabling this option disables the prompt, leaving you in channel until forced or requested to disconnect.</source>
        <translation>Если включено, вам будет предложено отключиться от канала, где вы несколько минут остаётесь единственным участником.  От отключения в этот момент можно отказаться.  Если выключено, вопроса не будет и вы останетесь в канале, пока вас не отключат или вы сами не выйдете.</translation>
    </message>
    <message>
        <source>Show tutorial on startup</source>
        <translation>Показывать обучение при запуске</translation>
    </message>
    <message>
        <source>When enabled, you may see areas of the interface highlighted, which may show hints on use when clicked.</source>
        <translation>Если включено, некоторые области окна будут выделены; по нажатию они покажут подсказки.</translation>
    </message>
    <message>
        <source>Log chat messages</source>
        <translation>Сохранять сообщения чата</translation>
    </message>
    <message>
        <source>NOTIFICATIONS</source>
        <translation>УВЕДОМЛЕНИЯ</translation>
    </message>
    <message>
        <source>Show chat message notifications</source>
        <translation>Уведомлять о сообщениях чата</translation>
    </message>
    <message>
        <source>Show friend request notifications</source>
        <translation>Уведомлять о запросах дружбы</translation>
    </message>
    <message>
        <source>Show channel invite notifications</source>
        <translation>Уведомлять о приглашениях в каналы</translation>
    </message>
    <message>
        <source>Show other notifications</source>
        <translation>Показывать прочие уведомления</translation>
    </message>
    <message>
        <source>SKIN</source>
        <translation>ОФОРМЛЕНИЕ</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Обновить</translation>
    </message>
    <message>
        <source>LANGUAGE</source>
        <translation>ЯЗЫК</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Английский</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Русский</translation>
    </message>
    <message>
        <source>Change takes effect after application restarts</source>
        <translation>Изменение вступит в силу после перезапуска</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Сбросить</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Готово</translation>
    </message>
    <message>
        <source>Theme changed - please click OK to accept, or Cancel or wait to revert.</source>
        <translation>Оформление изменено: нажмите ОК, чтобы оставить его, или «Отмена» либо подождите, чтобы вернуть прежнее.</translation>
    </message>
    <message>
        <source>%1 seconds remaining...</source>
        <translation>Осталось секунд: %1...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>SettingsProfilePage</name>
    <message>
        <source>Choose your profile picture</source>
        <translation>Выберите изображение профиля</translation>
    </message>
    <message>
        <source>Images</source>
        <translation>Изображения</translation>
    </message>
    <message>
        <source>Click to change image</source>
        <translation>Нажмите, чтобы сменить изображение</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Имя пользователя</translation>
    </message>
    <message>
        <source>Optional custom name</source>
        <translation>Выбранное имя (необязательно)</translation>
    </message>
    <message>
        <source>Enter display name here...</source>
        <translation>Введите отображаемое имя...</translation>
    </message>
    <message>
        <source>E-mail address</source>
        <translation>Адрес эл. почты</translation>
    </message>
    <message>
        <source>Tag line</source>
        <translation>Девиз</translation>
    </message>
    <message>
        <source>Enter tag line here...</source>
        <translation>Введите девиз...</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Местоположение</translation>
    </message>
    <message>
        <source>Enter location here...</source>
        <translation>Введите местоположение...</translation>
    </message>
    <message>
        <source>Description (%1 of %2 characters)</source>
        <translation>Описание (%1 из %2 символов)</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Сохранить</translation>
    </message>
</context>
<context>
    <name>SettingsTTSWindow</name>
    <message>
        <source>Disabled</source>
        <translation>Выключено</translation>
    </message>
    <message>
        <source>Text-to-speech</source>
        <translation>Озвучивание</translation>
    </message>
    <message>
        <source>Play sound</source>
        <translation>Звук</translation>
    </message>
    <message>
        <source>Text-to-speech minimized only</source>
        <translation>Озвучивание, только когда свёрнуто</translation>
    </message>
    <message>
        <source>Play sound minimized only</source>
        <translation>Звук, только когда свёрнуто</translation>
    </message>
    <message>
        <source>Choose sound file</source>
        <translation>Выбрать звуковой файл</translation>
    </message>
    <message>
        <source>All events</source>
        <translation>Все события</translation>
    </message>
    <message>
        <source>Text to Speech/
Sound Volume</source>
        <translation>Громкость речи/
звуков</translation>
    </message>
    <message>
        <source>Text to speech</source>
        <translation>Озвучивание текста</translation>
    </message>
    <message>
        <source>Click to unmute</source>
        <translation>Нажмите, чтобы включить звук</translation>
    </message>
    <message>
        <source>Click to mute</source>
        <translation>Нажмите, чтобы выключить звук</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Событие</translation>
    </message>
    <message>
        <source>Play...</source>
        <translation>Играть...</translation>
    </message>
    <message>
        <source>Sound</source>
        <translation>Звук</translation>
    </message>
    <message>
        <source>Text to Speech voice</source>
        <translation>Голос озвучивания</translation>
    </message>
    <message>
        <source>** Text-to-speech not enabled for your system.</source>
        <translation>** Озвучивание текста недоступно в вашей системе.</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Сбросить</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Готово</translation>
    </message>
    <message>
        <source>Click to select</source>
        <translation>Нажмите, чтобы выбрать</translation>
    </message>
    <message>
        <source>Click to play</source>
        <translation>Нажмите, чтобы воспроизвести</translation>
    </message>
    <message>
        <source>Click to revert to default</source>
        <translation>Нажмите, чтобы вернуть исходный</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>General Settings</source>
        <translation>Общие настройки</translation>
    </message>
    <message>
        <source>Audio Settings</source>
        <translation>Настройки звука</translation>
    </message>
    <message>
        <source>Edit Profile</source>
        <translation>Изменить профиль</translation>
    </message>
    <message>
        <source>Sounds</source>
        <translation>Звуки</translation>
    </message>
    <message>
        <source>GENERAL</source>
        <translation>ОБЩИЕ</translation>
    </message>
    <message>
        <source>AUDIO</source>
        <translation>ЗВУК</translation>
    </message>
    <message>
        <source>PROFILE</source>
        <translation>ПРОФИЛЬ</translation>
    </message>
    <message>
        <source>SOUNDS</source>
        <translation>ЗВУКИ</translation>
    </message>
</context>
<context>
    <name>SkinMenu</name>
    <message>
        <source>Find more skins...</source>
        <translation>Другие оформления...</translation>
    </message>
</context>
<context>
    <name>TavriApplication</name>
    <message>
        <source>Show Tavri</source>
        <translation>Показать Tavri</translation>
    </message>
    <message>
        <source>Show as Online</source>
        <translation>Показывать «В сети»</translation>
    </message>
    <message>
        <source>Show as Away</source>
        <translation>Показывать «Отошёл»</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Выход</translation>
    </message>
    <message>
        <source>Tavri Application</source>
        <translation>Приложение Tavri</translation>
    </message>
    <message>
        <source>Join channel via hyperlink is disabled in general settings</source>
        <translation>Вход в канал по ссылке отключён в общих настройках</translation>
    </message>
    <message>
        <source>Cannot add yourself as a friend</source>
        <translation>Нельзя добавить в друзья самого себя</translation>
    </message>
    <message>
        <source>You have added a friend</source>
        <translation>Вы добавили друга</translation>
    </message>
    <message>
        <source>Notification for %1</source>
        <translation>Уведомление для %1</translation>
    </message>
    <message>
        <source>You have added a favorite channel</source>
        <translation>Вы добавили канал в избранное</translation>
    </message>
    <message>
        <source>Failed to add channel.</source>
        <translation>Не удалось добавить канал.</translation>
    </message>
    <message>
        <source>Failed to change channel information.</source>
        <translation>Не удалось изменить сведения о канале.</translation>
    </message>
    <message>
        <source>Problem joining %1: connection timed out.  Please try again later.</source>
        <translation>Не удалось войти в %1: истекло время ожидания.  Повторите попытку позже.</translation>
    </message>
    <message>
        <source>Cannot join channel while testing audio.</source>
        <translation>Нельзя войти в канал во время проверки звука.</translation>
    </message>
    <message>
        <source>Cannot access microphone, please check for conflicting software.</source>
        <translation>Нет доступа к микрофону; проверьте, не занят ли он другой программой.</translation>
    </message>
    <message>
        <source>Cannot be in echo channel while in another channel.</source>
        <translation>Нельзя находиться в эхо-канале, пока вы в другом канале.</translation>
    </message>
    <message>
        <source>Could not find file for playback</source>
        <translation>Не найден файл для воспроизведения</translation>
    </message>
    <message>
        <source>Tavri Alert: Voice data blocked</source>
        <translation>Tavri: голосовые данные заблокированы</translation>
    </message>
    <message>
        <source>Update available</source>
        <translation>Доступно обновление</translation>
    </message>
    <message>
        <source>Click here to open Tavri and view the update</source>
        <translation>Нажмите, чтобы открыть Tavri и посмотреть обновление</translation>
    </message>
    <message>
        <source>Channel %1 does not exist</source>
        <translation>Канал %1 не существует</translation>
    </message>
    <message>
        <source>There is a problem with your audio device. Please ensure you have an active input and output audio device.</source>
        <translation>Проблема со звуковым устройством. Убедитесь, что устройства ввода и вывода звука включены.</translation>
    </message>
    <message>
        <source>Lost connection to voice server</source>
        <translation>Потеряно соединение с голосовым сервером</translation>
    </message>
    <message>
        <source>You have joined %1</source>
        <translation>Вы присоединились к %1</translation>
    </message>
    <message>
        <source>You have left %1</source>
        <translation>Вы покинули %1</translation>
    </message>
    <message>
        <source>%2 has joined %1</source>
        <translation>%2 присоединяется к %1</translation>
    </message>
    <message>
        <source>%2 has left %1</source>
        <translation>%2 покидает %1</translation>
    </message>
    <message>
        <source>Someone</source>
        <translation>Кто-то</translation>
    </message>
    <message>
        <source>Logged out of %1</source>
        <translation>Выполнен выход из %1</translation>
    </message>
    <message>
        <source>Problem joining %1: password required.</source>
        <translation>Не удалось войти в %1: нужен пароль.</translation>
    </message>
    <message>
        <source>Problem joining %1: access denied.
Please contact channel owner for permission.</source>
        <translation>Не удалось войти в %1: доступ запрещён.
Обратитесь за разрешением к владельцу канала.</translation>
    </message>
    <message>
        <source>Chat message from: %1</source>
        <translation>Сообщение от: %1</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Tavri: Login</source>
        <translation>Tavri: Вход</translation>
    </message>
    <message>
        <source>Tavri: Main</source>
        <translation>Tavri: Главное окно</translation>
    </message>
    <message>
        <source>Login timed out - check your network settings and try again later</source>
        <translation>Время входа истекло - проверьте настройки сети и повторите попытку позже</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>About Tavri</source>
        <translation>О программе Tavri</translation>
    </message>
    <message>
        <source>Edit presence messages</source>
        <translation>Изменить сообщения статуса</translation>
    </message>
    <message>
        <source>Report Issue</source>
        <translation>Сообщить о проблеме</translation>
    </message>
    <message>
        <source>Invite Friends via Email to </source>
        <translation>Пригласить друзей по почте в </translation>
    </message>
    <message>
        <source>Invite Friends via Email to Tavri</source>
        <translation>Пригласить друзей в Tavri по почте</translation>
    </message>
    <message>
        <source>Internal Use Only</source>
        <translation>Только для внутреннего использования</translation>
    </message>
    <message>
        <source>Quality Survey</source>
        <translation>Оценка качества</translation>
    </message>
    <message>
        <source>Tavri: Tutorial</source>
        <translation>Tavri: Обучение</translation>
    </message>
    <message>
        <source>Chat log</source>
        <translation>Журнал чата</translation>
    </message>
    <message>
        <source>Tavri Channel Hyperlink Copied to Clipboard</source>
        <translation>Ссылка на канал Tavri скопирована в буфер обмена</translation>
    </message>
    <message>
        <source>Paste this into an e-mail or game chat to invite your friends.</source>
        <translation>Вставьте её в письмо или игровой чат, чтобы пригласить друзей.</translation>
    </message>
</context>
<context>
    <name>TavriIdentityRealm</name>
    <message>
        <source>%1 has disabled audio.</source>
        <translation>%1 выключает звук.</translation>
    </message>
    <message>
        <source>%1 is offline</source>
        <translation>%1 не в сети</translation>
    </message>
    <message>
        <source>You have enabled audio.</source>
        <translation>Вы включили звук.</translation>
    </message>
    <message>
        <source>You have disabled audio.</source>
        <translation>Вы выключили звук.</translation>
    </message>
    <message>
        <source>%1 is trying to enable audio, click on the icon to enable audio.</source>
        <translation>%1 пытается включить звук; нажмите значок, чтобы включить звук.</translation>
    </message>
    <message>
        <source>%1 has declined to enable audio</source>
        <translation>%1 отказывается включать звук</translation>
    </message>
    <message>
        <source>%1 has enabled audio.</source>
        <translation>%1 включает звук.</translation>
    </message>
</context>
<context>
    <name>TavriIdentityRealmUser</name>
    <message>
        <source>Phone Caller %1</source>
        <translation>Телефонный абонент %1</translation>
    </message>
    <message>
        <source>User Profile: %1</source>
        <translation>Профиль пользователя: %1</translation>
    </message>
</context>
<context>
    <name>Tutorial</name>
    <message>
        <source>Tutorial</source>
        <translation>Обучение</translation>
    </message>
    <message>
        <source>qrc:/textures/tutorial_slide1_mainframe.png</source>
        <translation>qrc:/textures/tutorial_slide1_mainframe.png</translation>
    </message>
    <message>
        <source>qrc:/textures/tutorial_slide2_channels.png</source>
        <translation>qrc:/textures/tutorial_slide2_channels.png</translation>
    </message>
    <message>
        <source>qrc:/textures/tutorial_slide3_contacts.png</source>
        <translation>qrc:/textures/tutorial_slide3_contacts.png</translation>
    </message>
    <message>
        <source>qrc:/textures/tutorial_slide4_recents.png</source>
        <translation>qrc:/textures/tutorial_slide4_recents.png</translation>
    </message>
    <message>
        <source>qrc:/textures/tutorial_slide5_chat.png</source>
        <translation>qrc:/textures/tutorial_slide5_chat.png</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Назад</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Готово</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Далее</translation>
    </message>
    <message>
        <source>Close window</source>
        <translation>Закрыть окно</translation>
    </message>
</context>
<context>
    <name>UserDetails</name>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>Location: %1</source>
        <translation>Местоположение: %1</translation>
    </message>
    <message>
        <source>Last online: %1</source>
        <translation>Был(а) в сети: %1</translation>
    </message>
</context>
<context>
    <name>VolumeSpinBar</name>
    <message>
        <source>Muted</source>
        <translation>Звук выключен</translation>
    </message>
</context>
<context>
    <name>WarningDialog</name>
    <message>
        <source>Alert!</source>
        <translation>Внимание!</translation>
    </message>
</context>
</TS>
