<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>AboutDialog</name>
    <message>
        <source>About Tavri</source>
        <translation>Acerca de Tavri</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Versión %1</translation>
    </message>
    <message>
        <source>Check for updates</source>
        <translation>Buscar actualizaciones</translation>
    </message>
    <message>
        <source>Click here to check for application updates</source>
        <translation>Haga clic aquí para buscar actualizaciones de la aplicación</translation>
    </message>
    <message>
        <source>Update now</source>
        <translation>Actualizar ahora</translation>
    </message>
    <message>
        <source>Click here to download the update</source>
        <translation>Haga clic aquí para descargar la actualización</translation>
    </message>
    <message>
        <source>No update available</source>
        <translation>No hay actualizaciones</translation>
    </message>
    <message>
        <source>No update found, click to check again.</source>
        <translation>No se encontró ninguna actualización; haga clic para volver a buscar.</translation>
    </message>
    <message>
        <source>Copyright %1 the Tavri developers. All rights reserved.</source>
        <translation>Copyright %1 los desarrolladores de Tavri. Todos los derechos reservados.</translation>
    </message>
    <message>
        <source>This program is made available under its licence terms.</source>
        <translation>Este programa se distribuye según los términos de su licencia.</translation>
    </message>
    <message>
        <source>No patent rights are granted by this notice.</source>
        <translation>Este aviso no concede ningún derecho de patente.</translation>
    </message>
    <message>
        <source>Tavri and its logo are names of this program; all other names belong to their owners.</source>
        <translation>Tavri y su logotipo son nombres de este programa; todos los demás nombres pertenecen a sus propietarios.</translation>
    </message>
    <message>
        <source>Help / Feedback</source>
        <translation>Ayuda / Comentarios</translation>
    </message>
</context>
<context>
    <name>AddContactGroup</name>
    <message>
        <source>Add group</source>
        <translation>Añadir grupo</translation>
    </message>
    <message>
        <source>Group name</source>
        <translation>Nombre del grupo</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Añadir</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Close window</source>
        <translation>Cerrar ventana</translation>
    </message>
</context>
<context>
    <name>AddContactsPane</name>
    <message>
        <source>Add Contacts</source>
        <translation>Añadir contactos</translation>
    </message>
    <message>
        <source>Type search criteria here</source>
        <translation>Escriba aquí los criterios de búsqueda</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Buscar</translation>
    </message>
    <message>
        <source>Click here to execute search</source>
        <translation>Haga clic aquí para buscar</translation>
    </message>
    <message>
        <source>Find More</source>
        <translation>Buscar más</translation>
    </message>
    <message>
        <source>Include users inactive for more than 30 days</source>
        <translation>Incluir usuarios inactivos desde hace más de 30 días</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Buscando...</translation>
    </message>
    <message>
        <source>NO RESULTS FOUND</source>
        <translation>NO SE ENCONTRARON RESULTADOS</translation>
    </message>
    <message>
        <source>Remove friend</source>
        <translation>Quitar amigo</translation>
    </message>
    <message>
        <source>Add friend</source>
        <translation>Añadir amigo</translation>
    </message>
</context>
<context>
    <name>Assertion</name>
    <message>
        <source>Tavri Fatal Error</source>
        <translation>Error fatal de Tavri</translation>
    </message>
</context>
<context>
    <name>AudioCuesManager</name>
    <message>
        <source>%2 has joined %1</source>
        <translation>%2 se ha unido a %1</translation>
    </message>
    <message>
        <source>%2 has left %1</source>
        <translation>%2 ha salido de %1</translation>
    </message>
    <message>
        <source>You have joined %1</source>
        <translation>Se ha unido a %1</translation>
    </message>
    <message>
        <source>You have left %1</source>
        <translation>Ha salido de %1</translation>
    </message>
    <message>
        <source>%2 said %1</source>
        <translation>%2 dijo %1</translation>
    </message>
    <message>
        <source>%3 said %1 in %2</source>
        <translation>%3 dijo %1 en %2</translation>
    </message>
    <message>
        <source>%1 is online</source>
        <translation>%1 está conectado</translation>
    </message>
    <message>
        <source>%1 is offline</source>
        <translation>%1 está desconectado</translation>
    </message>
    <message>
        <source>%2 has dropped from %1</source>
        <translation>%2 se ha desconectado de %1</translation>
    </message>
    <message>
        <source>%2 has been kicked from %1</source>
        <translation>%2 ha sido expulsado de %1</translation>
    </message>
    <message>
        <source>%2 has been banned from %1</source>
        <translation>%2 ha sido vetado en %1</translation>
    </message>
    <message>
        <source>You have dropped from %1</source>
        <translation>Se ha desconectado de %1</translation>
    </message>
    <message>
        <source>You have been kicked from %1</source>
        <translation>Le han expulsado de %1</translation>
    </message>
    <message>
        <source>You have been banned from %1</source>
        <translation>Le han vetado en %1</translation>
    </message>
    <message>
        <source>You do not have permission to join %1</source>
        <translation>No tiene permiso para unirse a %1</translation>
    </message>
    <message>
        <source>Microphone muted</source>
        <translation>Micrófono silenciado</translation>
    </message>
    <message>
        <source>Microphone unmuted</source>
        <translation>Micrófono activado</translation>
    </message>
    <message>
        <source>When others join a channel</source>
        <translation>Cuando otros se unen a un canal</translation>
    </message>
    <message>
        <source>When others leave a channel</source>
        <translation>Cuando otros salen de un canal</translation>
    </message>
    <message>
        <source>When I join a channel</source>
        <translation>Cuando me uno a un canal</translation>
    </message>
    <message>
        <source>When I leave a channel</source>
        <translation>Cuando salgo de un canal</translation>
    </message>
    <message>
        <source>On incoming private message</source>
        <translation>Al recibir un mensaje privado</translation>
    </message>
    <message>
        <source>On incoming channel message</source>
        <translation>Al recibir un mensaje en un canal</translation>
    </message>
    <message>
        <source>When friend comes online</source>
        <translation>Cuando un amigo se conecta</translation>
    </message>
    <message>
        <source>When friend goes offline</source>
        <translation>Cuando un amigo se desconecta</translation>
    </message>
    <message>
        <source>New notification</source>
        <translation>Nueva notificación</translation>
    </message>
    <message>
        <source>&lt;default&gt;</source>
        <translation>&lt;predeterminado&gt;</translation>
    </message>
    <message>
        <source> a link </source>
        <translation> un enlace </translation>
    </message>
</context>
<context>
    <name>CFindUsers</name>
    <message>
        <source>Find friends</source>
        <translation>Buscar amigos</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Añadir</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Quitar</translation>
    </message>
    <message>
        <source>added</source>
        <translation>añadido</translation>
    </message>
    <message>
        <source>removed</source>
        <translation>quitado</translation>
    </message>
    <message>
        <source>Edit members: %1</source>
        <translation>Editar miembros: %1</translation>
    </message>
    <message>
        <source>Edit banned users: %1</source>
        <translation>Editar usuarios vetados: %1</translation>
    </message>
    <message>
        <source>Edit moderators: %1</source>
        <translation>Editar moderadores: %1</translation>
    </message>
    <message>
        <source>Invite / Join</source>
        <translation>Invitar / Unirse</translation>
    </message>
    <message>
        <source>Invite</source>
        <translation>Invitar</translation>
    </message>
    <message>
        <source>invited</source>
        <translation>invitado</translation>
    </message>
    <message>
        <source>uninvited</source>
        <translation>invitación retirada</translation>
    </message>
</context>
<context>
    <name>ChannelDetails</name>
    <message>
        <source>Password protected</source>
        <translation>Protegido con contraseña</translation>
    </message>
    <message>
        <source>Invitation only</source>
        <translation>Solo por invitación</translation>
    </message>
    <message>
        <source>Public</source>
        <translation>Público</translation>
    </message>
    <message>
        <source>Access: %1</source>
        <translation>Acceso: %1</translation>
    </message>
    <message>
        <source>Members</source>
        <translation>Miembros</translation>
    </message>
    <message>
        <source>Moderators</source>
        <translation>Moderadores</translation>
    </message>
    <message>
        <source>Banned</source>
        <translation>Vetados</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Editar</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>Unirse</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
</context>
<context>
    <name>ChannelPasswordRequested</name>
    <message>
        <source>%1 needs a password.</source>
        <translation>%1 requiere una contraseña.</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Contraseña</translation>
    </message>
    <message>
        <source>Save password</source>
        <translation>Guardar contraseña</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>Unirse</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>ChannelSettings</name>
    <message>
        <source>Name</source>
        <translation>Nombre</translation>
    </message>
    <message>
        <source>Inside: %1</source>
        <translation>Dentro de: %1</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Descripción</translation>
    </message>
    <message>
        <source>Welcome message</source>
        <translation>Mensaje de bienvenida</translation>
    </message>
    <message>
        <source>Access</source>
        <translation>Acceso</translation>
    </message>
    <message>
        <source>Public</source>
        <translation>Público</translation>
    </message>
    <message>
        <source>Password protected</source>
        <translation>Protegido con contraseña</translation>
    </message>
    <message>
        <source>Invitation only</source>
        <translation>Solo por invitación</translation>
    </message>
    <message>
        <source>New password</source>
        <translation>Nueva contraseña</translation>
    </message>
    <message>
        <source>Members</source>
        <translation>Miembros</translation>
    </message>
    <message>
        <source>Moderators</source>
        <translation>Moderadores</translation>
    </message>
    <message>
        <source>Banned</source>
        <translation>Vetados</translation>
    </message>
    <message>
        <source>Find users</source>
        <translation>Buscar usuarios</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Buscar</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Quitar</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Añadir</translation>
    </message>
    <message>
        <source>Delete channel</source>
        <translation>Eliminar canal</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Guardar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>ChannelsPane</name>
    <message>
        <source>Channels</source>
        <translation>Canales</translation>
    </message>
    <message>
        <source>Find Channels</source>
        <translation>Buscar canales</translation>
    </message>
    <message>
        <source>Create a new Channel</source>
        <translation>Crear un canal nuevo</translation>
    </message>
    <message>
        <source>Click on the add channel icon to create a root channel</source>
        <translation>Haga clic en el icono de añadir canal para crear un canal raíz</translation>
    </message>
</context>
<context>
    <name>ContactsPane</name>
    <message>
        <source>Contacts ( %1 / %2 )</source>
        <translation>Contactos ( %1 / %2 )</translation>
    </message>
    <message>
        <source>Add group</source>
        <translation>Añadir grupo</translation>
    </message>
    <message>
        <source>Add a contact</source>
        <translation>Añadir un contacto</translation>
    </message>
    <message>
        <source>Remove this group</source>
        <translation>Quitar este grupo</translation>
    </message>
    <message>
        <source>No friends online</source>
        <translation>Ningún amigo conectado</translation>
    </message>
    <message>
        <source>Click on the search icon to find and add contacts</source>
        <translation>Haga clic en el icono de búsqueda para encontrar y añadir contactos</translation>
    </message>
</context>
<context>
    <name>Conversation</name>
    <message>
        <source>Open private chat</source>
        <translation>Abrir chat privado</translation>
    </message>
    <message>
        <source>Open private chat w/ %1 others</source>
        <translation>Abrir chat privado con otros %1</translation>
    </message>
    <message>
        <source>Open private chat w/ %1</source>
        <translation>Abrir chat privado con %1</translation>
    </message>
    <message>
        <source>You have enabled audio.</source>
        <translation>Ha activado el audio.</translation>
    </message>
    <message>
        <source>You have enabled audio, waiting for other participants to join...</source>
        <translation>Ha activado el audio; esperando a que se unan otros participantes...</translation>
    </message>
    <message>
        <source>Cannot be in another channel while in echo channel.</source>
        <translation>No puede estar en otro canal mientras esté en el canal de eco.</translation>
    </message>
    <message>
        <source>Cannot be in echo channel while in another channel.</source>
        <translation>No puede estar en el canal de eco mientras esté en otro canal.</translation>
    </message>
    <message>
        <source>Cannot join more than 6 channels at a time, please exit one before joining another.</source>
        <translation>No puede unirse a más de 6 canales a la vez; salga de uno antes de unirse a otro.</translation>
    </message>
    <message>
        <source>Conversation</source>
        <translation>Conversación</translation>
    </message>
    <message>
        <source>Password required to join %1</source>
        <translation>Se requiere contraseña para unirse a %1</translation>
    </message>
    <message>
        <source>Channel details: %1</source>
        <translation>Detalles del canal: %1</translation>
    </message>
    <message>
        <source>Create new channel</source>
        <translation>Crear canal nuevo</translation>
    </message>
    <message>
        <source>Enter name for channel</source>
        <translation>Escriba el nombre del canal</translation>
    </message>
    <message>
        <source>Channel Settings: %1</source>
        <translation>Ajustes del canal: %1</translation>
    </message>
    <message>
        <source>Confirm delete: %1</source>
        <translation>Confirmar eliminación: %1</translation>
    </message>
    <message>
        <source>%1 has joined</source>
        <translation>%1 se ha unido</translation>
    </message>
    <message>
        <source>%1 has left</source>
        <translation>%1 ha salido</translation>
    </message>
    <message>
        <source>Private Chat w/ %1</source>
        <translation>Chat privado con %1</translation>
    </message>
    <message>
        <source>Someone</source>
        <translation>Alguien</translation>
    </message>
    <message>
        <source>... waiting for %1 to enable voice.</source>
        <translation>... esperando a que %1 active la voz.</translation>
    </message>
    <message>
        <source>%1 is offline, and cannot be invited to a private voice conversation.</source>
        <translation>%1 está desconectado y no se le puede invitar a una conversación de voz privada.</translation>
    </message>
    <message>
        <source>%1 is on an older version, and needs to upgrade Tavri to support temporary conversation audio.</source>
        <translation>%1 usa una versión anterior y debe actualizar Tavri para admitir audio en conversaciones temporales.</translation>
    </message>
    <message>
        <source>%1 is offline, and cannot be invited to a group text chat.</source>
        <translation>%1 está desconectado y no se le puede invitar a un chat de texto en grupo.</translation>
    </message>
    <message>
        <source>%1 is on an older version, and does not support multi-party text chat outside of saved channels.</source>
        <translation>%1 usa una versión anterior que no admite chats de texto en grupo fuera de los canales guardados.</translation>
    </message>
    <message>
        <source>%1 is offline, and cannot be invited to a group text chat except by link.</source>
        <translation>%1 está desconectado y solo se le puede invitar a un chat de texto en grupo mediante un enlace.</translation>
    </message>
</context>
<context>
    <name>ConversationPane</name>
    <message>
        <source>Voice off</source>
        <translation>Voz desactivada</translation>
    </message>
    <message>
        <source>Voice on</source>
        <translation>Voz activada</translation>
    </message>
    <message>
        <source>%1 typing...</source>
        <translation>%1 está escribiendo...</translation>
    </message>
    <message>
        <source>Type a message</source>
        <translation>Escriba un mensaje</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Enviar</translation>
    </message>
</context>
<context>
    <name>DLabelSquare</name>
    <message>
        <source>Copy</source>
        <translation>Copiar</translation>
    </message>
</context>
<context>
    <name>DTitledWindow</name>
    <message>
        <source>Click to minimize to taskbar</source>
        <translation>Haga clic para minimizar a la barra de tareas</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Ajustes</translation>
    </message>
    <message>
        <source>Click here for menu</source>
        <translation>Haga clic aquí para ver el menú</translation>
    </message>
</context>
<context>
    <name>DTitledWindowBasic</name>
    <message>
        <source>Close window</source>
        <translation>Cerrar ventana</translation>
    </message>
</context>
<context>
    <name>Dialog</name>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
</context>
<context>
    <name>EditPresenceMessages</name>
    <message>
        <source>Edit status messages</source>
        <translation>Editar mensajes de estado</translation>
    </message>
    <message>
        <source>Status message when Online:</source>
        <translation>Mensaje de estado al estar conectado:</translation>
    </message>
    <message>
        <source>Enter text shown when Online</source>
        <translation>Escriba el texto que se muestra al estar conectado</translation>
    </message>
    <message>
        <source>Status message when Away:</source>
        <translation>Mensaje de estado al estar ausente:</translation>
    </message>
    <message>
        <source>Enter text shown when Away</source>
        <translation>Escriba el texto que se muestra al estar ausente</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Predeterminado</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Guardar</translation>
    </message>
</context>
<context>
    <name>FindChannels</name>
    <message>
        <source>Type search criteria here</source>
        <translation>Escriba aquí los criterios de búsqueda</translation>
    </message>
    <message>
        <source>Find More</source>
        <translation>Buscar más</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Buscar</translation>
    </message>
    <message>
        <source>Click here to execute search</source>
        <translation>Haga clic aquí para buscar</translation>
    </message>
    <message>
        <source>Include Only My Favorite and Owned Channels</source>
        <translation>Incluir solo mis canales favoritos y propios</translation>
    </message>
    <message>
        <source>Include channels inactive for more than 30 days</source>
        <translation>Incluir canales inactivos desde hace más de 30 días</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Buscando...</translation>
    </message>
    <message>
        <source>NO RESULTS FOUND</source>
        <translation>NO SE ENCONTRARON RESULTADOS</translation>
    </message>
    <message>
        <source>Owner: %1</source>
        <translation>Propietario: %1</translation>
    </message>
    <message>
        <source>Remove From Favorites</source>
        <translation>Quitar de favoritos</translation>
    </message>
    <message>
        <source>Add To Favorites</source>
        <translation>Añadir a favoritos</translation>
    </message>
    <message>
        <source>View Channel Details</source>
        <translation>Ver detalles del canal</translation>
    </message>
    <message>
        <source>Start Private Chat With Owner</source>
        <translation>Iniciar chat privado con el propietario</translation>
    </message>
    <message>
        <source>View Owner&apos;s Profile</source>
        <translation>Ver perfil del propietario</translation>
    </message>
    <message>
        <source>Find Channels</source>
        <translation>Buscar canales</translation>
    </message>
</context>
<context>
    <name>FindUsers</name>
    <message>
        <source>Type search criteria here</source>
        <translation>Escriba aquí los criterios de búsqueda</translation>
    </message>
    <message>
        <source>Find More</source>
        <translation>Buscar más</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Buscar</translation>
    </message>
    <message>
        <source>Click here to execute search</source>
        <translation>Haga clic aquí para buscar</translation>
    </message>
    <message>
        <source>Include users inactive for more than 30 days</source>
        <translation>Incluir usuarios inactivos desde hace más de 30 días</translation>
    </message>
    <message>
        <source>Search only my friends</source>
        <translation>Buscar solo entre mis amigos</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Buscando...</translation>
    </message>
    <message>
        <source>NO RESULTS FOUND</source>
        <translation>NO SE ENCONTRARON RESULTADOS</translation>
    </message>
</context>
<context>
    <name>FriendContextMenu</name>
    <message>
        <source>START PRIVATE CHAT...</source>
        <translation>INICIAR CHAT PRIVADO...</translation>
    </message>
    <message>
        <source>...ON %1...</source>
        <translation>...EN %1...</translation>
    </message>
    <message>
        <source>VIEW LOGS</source>
        <translation>VER REGISTROS</translation>
    </message>
    <message>
        <source>VIEW PROFILE...</source>
        <translation>VER PERFIL...</translation>
    </message>
    <message>
        <source>REMOVE FRIEND</source>
        <translation>QUITAR AMIGO</translation>
    </message>
</context>
<context>
    <name>FriendHeaderContextMenu</name>
    <message>
        <source>HIDE OFFLINE FRIENDS</source>
        <translation>OCULTAR AMIGOS DESCONECTADOS</translation>
    </message>
    <message>
        <source>SHOW OFFLINE FRIENDS</source>
        <translation>MOSTRAR AMIGOS DESCONECTADOS</translation>
    </message>
    <message>
        <source>ADD FRIENDS VIA EMAIL...</source>
        <translation>AÑADIR AMIGOS POR CORREO...</translation>
    </message>
    <message>
        <source>FIND FRIENDS ON TAVRI...</source>
        <translation>BUSCAR AMIGOS EN TAVRI...</translation>
    </message>
    <message>
        <source>REFRESH</source>
        <translation>ACTUALIZAR</translation>
    </message>
</context>
<context>
    <name>HiddenWindow</name>
    <message>
        <source>Internal Use Only</source>
        <translation>Solo para uso interno</translation>
    </message>
    <message>
        <source>Enabling / Disabling AEC</source>
        <extracomment>Hint on the switch of the SDK&apos;s acoustic echo cancellation</extracomment>
        <translation>Activar / desactivar AEC</translation>
    </message>
    <message>
        <source>Enabling / Disabling AGC</source>
        <extracomment>Hint on the switch of the SDK&apos;s automatic gain control</extracomment>
        <translation>Activar / desactivar AGC</translation>
    </message>
    <message>
        <source>Enabling / Disabling VAD</source>
        <extracomment>Hint on the switch of the SDK&apos;s voice activity detection</extracomment>
        <translation>Activar / desactivar VAD</translation>
    </message>
    <message>
        <source>Click here to copy call stats to clipboard</source>
        <translation>Haga clic aquí para copiar las estadísticas de llamadas al portapapeles</translation>
    </message>
    <message>
        <source>Click here to clear call stats</source>
        <translation>Haga clic aquí para borrar las estadísticas de llamadas</translation>
    </message>
</context>
<context>
    <name>Hint</name>
    <message>
        <source>Disable all hints</source>
        <translation>Desactivar todas las sugerencias</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Anterior</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Siguiente</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Listo</translation>
    </message>
</context>
<context>
    <name>InviteFriendsViaEmail</name>
    <message>
        <source>E-mail addresses (separated by commas)</source>
        <translation>Direcciones de correo (separadas por comas)</translation>
    </message>
    <message>
        <source>friend@example.org, another@example.org</source>
        <translation>amigo@example.org, otro@example.org</translation>
    </message>
    <message>
        <source>Personal message (optional)</source>
        <translation>Mensaje personal (opcional)</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Enviar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>JoinedChannelContextMenu</name>
    <message>
        <source>INVITE / JOIN</source>
        <translation>INVITAR / UNIRSE</translation>
    </message>
    <message>
        <source>ADD AS FAVORITE</source>
        <translation>AÑADIR A FAVORITOS</translation>
    </message>
    <message>
        <source>REMOVE FROM FAVORITES</source>
        <translation>QUITAR DE FAVORITOS</translation>
    </message>
    <message>
        <source>MUTE EVERYONE</source>
        <translation>SILENCIAR A TODOS</translation>
    </message>
    <message>
        <source>UNMUTE EVERYONE</source>
        <translation>QUITAR SILENCIO A TODOS</translation>
    </message>
    <message>
        <source>EXIT CONVERSATION</source>
        <translation>SALIR DE LA CONVERSACIÓN</translation>
    </message>
    <message>
        <source>VIEW INFO...</source>
        <translation>VER INFORMACIÓN...</translation>
    </message>
</context>
<context>
    <name>LocalUser</name>
    <message>
        <source>away</source>
        <translation>ausente</translation>
    </message>
    <message>
        <source>online</source>
        <translation>conectado</translation>
    </message>
    <message>
        <source>offline</source>
        <translation>desconectado</translation>
    </message>
    <message>
        <source>%1 is requesting a voice conversation, click on the icon to enable audio.</source>
        <translation>%1 solicita una conversación de voz; haga clic en el icono para activar el audio.</translation>
    </message>
    <message>
        <source>%1 has enabled audio, click on the icon to enable audio.</source>
        <translation>%1 ha activado el audio; haga clic en el icono para activar el audio.</translation>
    </message>
    <message>
        <source>%1 has invited you to join a private conversation with others.  &lt;a href=&quot;%2&quot;&gt;Click here to join now&lt;/a&gt;.</source>
        <translation>%1 le ha invitado a una conversación privada con otras personas.  &lt;a href=&quot;%2&quot;&gt;Haga clic aquí para unirse ahora&lt;/a&gt;.</translation>
    </message>
    <message>
        <source>Someone</source>
        <translation>Alguien</translation>
    </message>
    <message>
        <source>%1 has added you as a friend</source>
        <translation>%1 le ha añadido como amigo</translation>
    </message>
    <message>
        <source>%1 has removed you as a friend</source>
        <translation>%1 le ha quitado de sus amigos</translation>
    </message>
    <message>
        <source>a conversation</source>
        <translation>una conversación</translation>
    </message>
    <message>
        <source>%1 has invited you to %2.  Click to join the channel now.</source>
        <translation>%1 le ha invitado a %2.  Haga clic para unirse al canal ahora.</translation>
    </message>
</context>
<context>
    <name>LocalUserContextMenu</name>
    <message>
        <source>Set Status</source>
        <translation>Establecer estado</translation>
    </message>
    <message>
        <source>EDIT PROFILE</source>
        <translation>EDITAR PERFIL</translation>
    </message>
    <message>
        <source>AUDIO SETTINGS</source>
        <translation>AJUSTES DE AUDIO</translation>
    </message>
    <message>
        <source>GENERAL SETTINGS</source>
        <translation>AJUSTES GENERALES</translation>
    </message>
    <message>
        <source>SOUNDS</source>
        <translation>SONIDOS</translation>
    </message>
    <message>
        <source>About Tavri</source>
        <translation>Acerca de Tavri</translation>
    </message>
    <message>
        <source>CHECK FOR UPDATES</source>
        <translation>BUSCAR ACTUALIZACIONES</translation>
    </message>
    <message>
        <source>TUTORIAL</source>
        <translation>TUTORIAL</translation>
    </message>
    <message>
        <source>LOGOUT</source>
        <translation>CERRAR SESIÓN</translation>
    </message>
    <message>
        <source>EXIT TAVRI</source>
        <translation>SALIR DE TAVRI</translation>
    </message>
</context>
<context>
    <name>Login</name>
    <message>
        <source>That screen name is already taken, please choose another</source>
        <translation>Ese nombre de usuario ya está en uso; elija otro</translation>
    </message>
    <message>
        <source>Logged out.</source>
        <translation>Sesión cerrada.</translation>
    </message>
    <message>
        <source>Contacting login service...</source>
        <translation>Conectando con el servicio de inicio de sesión...</translation>
    </message>
    <message>
        <source>Contacting voice service...</source>
        <translation>Conectando con el servicio de voz...</translation>
    </message>
    <message>
        <source>Logged in.</source>
        <translation>Sesión iniciada.</translation>
    </message>
    <message>
        <source>Logging out...</source>
        <translation>Cerrando sesión...</translation>
    </message>
    <message>
        <source>Reconnecting...</source>
        <translation>Reconectando...</translation>
    </message>
    <message>
        <source>Error: Please enter a valid email address</source>
        <translation>Error: introduzca una dirección de correo válida</translation>
    </message>
    <message>
        <source>Error: Password must be at least 6 characters</source>
        <translation>Error: la contraseña debe tener al menos 6 caracteres</translation>
    </message>
    <message>
        <source>Error: Passwords do not match</source>
        <translation>Error: las contraseñas no coinciden</translation>
    </message>
    <message>
        <source>Error: </source>
        <translation>Error: </translation>
    </message>
    <message>
        <source>Account Created! Check your email for a link to activate your account</source>
        <translation>¡Cuenta creada! Busque en su correo el enlace para activar la cuenta</translation>
    </message>
    <message>
        <source>Network Error: </source>
        <translation>Error de red: </translation>
    </message>
    <message>
        <source> - please check your network settings and try again</source>
        <translation> - compruebe la configuración de red e inténtelo de nuevo</translation>
    </message>
    <message>
        <source>Account creation failed - please try again in a few minutes</source>
        <translation>No se pudo crear la cuenta; inténtelo de nuevo dentro de unos minutos</translation>
    </message>
    <message>
        <source>Login  </source>
        <translation>Iniciar sesión  </translation>
    </message>
    <message>
        <source>Sign Up</source>
        <translation>Registrarse</translation>
    </message>
    <message>
        <source>Powered by </source>
        <translation>Con la tecnología de </translation>
    </message>
    <message>
        <source>Open voice and text chat</source>
        <translation>Chat de voz y texto abierto</translation>
    </message>
    <message>
        <source>Version </source>
        <translation>Versión </translation>
    </message>
    <message>
        <source>Enter e-mail</source>
        <translation>Introduzca su correo</translation>
    </message>
    <message>
        <source>Enter Password</source>
        <translation>Introduzca la contraseña</translation>
    </message>
    <message>
        <source>Forgot password?</source>
        <translation>¿Olvidó la contraseña?</translation>
    </message>
    <message>
        <source>Login automatically</source>
        <translation>Entrar automáticamente</translation>
    </message>
    <message>
        <source>Create a New Account</source>
        <translation>Crear una cuenta</translation>
    </message>
    <message>
        <source>Problem contacting voice server:</source>
        <translation>Problema al conectar con el servidor de voz:</translation>
    </message>
    <message>
        <source>already have an account?</source>
        <translation>¿ya tiene una cuenta?</translation>
    </message>
    <message>
        <source>Screen Name - May contain</source>
        <translation>Nombre de usuario - puede contener</translation>
    </message>
    <message>
        <source>This will be visible in Tavri</source>
        <translation>Será visible en Tavri</translation>
    </message>
    <message>
        <source>Email</source>
        <translation>Correo electrónico</translation>
    </message>
    <message>
        <source>Use this to log in</source>
        <translation>Úselo para iniciar sesión</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Contraseña</translation>
    </message>
    <message>
        <source>Minimum of 6 characters</source>
        <translation>Mínimo 6 caracteres</translation>
    </message>
    <message>
        <source>Confirm Your Password</source>
        <translation>Confirme la contraseña</translation>
    </message>
    <message>
        <source>Confirm Password</source>
        <translation>Confirmar contraseña</translation>
    </message>
    <message>
        <source>I hereby confirm that I am at least 13 years of age</source>
        <translation>Confirmo que tengo al menos 13 años</translation>
    </message>
    <message>
        <source>forgot password?</source>
        <translation>¿olvidó la contraseña?</translation>
    </message>
</context>
<context>
    <name>MainFrame</name>
    <message>
        <source>Click to minimize to system tray</source>
        <translation>Haga clic para minimizar a la bandeja del sistema</translation>
    </message>
    <message>
        <source>Click to minimize to taskbar</source>
        <translation>Haga clic para minimizar a la barra de tareas</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Ajustes</translation>
    </message>
    <message>
        <source>Click here for menu</source>
        <translation>Haga clic aquí para ver el menú</translation>
    </message>
    <message>
        <source>Tavri is up to date</source>
        <translation>Tavri está actualizado</translation>
    </message>
</context>
<context>
    <name>MainFrameHeader</name>
    <message>
        <source>Channels</source>
        <translation>Canales</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Contactos</translation>
    </message>
    <message>
        <source>Add Contacts</source>
        <translation>Añadir contactos</translation>
    </message>
    <message>
        <source>Recent History</source>
        <translation>Historial reciente</translation>
    </message>
    <message>
        <source>Edit Profile</source>
        <translation>Editar perfil</translation>
    </message>
    <message>
        <source>Click to change status</source>
        <translation>Haga clic para cambiar el estado</translation>
    </message>
    <message>
        <source>Change Skin</source>
        <translation>Cambiar apariencia</translation>
    </message>
    <message>
        <source>Report Issue</source>
        <translation>Informar de un problema</translation>
    </message>
    <message>
        <source>Clear notifications</source>
        <translation>Borrar notificaciones</translation>
    </message>
    <message>
        <source>Notifications</source>
        <translation>Notificaciones</translation>
    </message>
</context>
<context>
    <name>NetworkTrafficBlockedWarningDialog</name>
    <message>
        <source>Alert: Voice data blocked</source>
        <translation>Alerta: datos de voz bloqueados</translation>
    </message>
    <message>
        <source>Network configuration appears to be blocking voice data.  Please check your router settings and confirm that these ports are allowed:</source>
        <translation>Parece que la configuración de red está bloqueando los datos de voz.  Revise la configuración del router y confirme que estos puertos están permitidos:</translation>
    </message>
    <message>
        <source>UDP on ports 3478, 3479</source>
        <translation>UDP en los puertos 3478, 3479</translation>
    </message>
    <message>
        <source>UDP on ports 5060-5062</source>
        <translation>UDP en los puertos 5060-5062</translation>
    </message>
    <message>
        <source>UDP on port 6250</source>
        <translation>UDP en el puerto 6250</translation>
    </message>
    <message>
        <source>UDP on ports 12000-32000</source>
        <translation>UDP en los puertos 12000-32000</translation>
    </message>
    <message>
        <source>For more about the ports the program needs, see %1.</source>
        <translation>Para saber más sobre los puertos que necesita el programa, consulte %1.</translation>
    </message>
    <message>
        <source>this forum sticky</source>
        <translation>este tema fijo del foro</translation>
    </message>
</context>
<context>
    <name>NotificationContextMenu</name>
    <message>
        <source>Add as friend</source>
        <translation>Añadir como amigo</translation>
    </message>
    <message>
        <source>Remove as friend</source>
        <translation>Quitar de amigos</translation>
    </message>
    <message>
        <source>View sender profile...</source>
        <translation>Ver perfil del remitente...</translation>
    </message>
    <message>
        <source>Private Chat with Sender</source>
        <translation>Chat privado con el remitente</translation>
    </message>
    <message>
        <source>Join channel</source>
        <translation>Unirse al canal</translation>
    </message>
    <message>
        <source>View Channel Details...</source>
        <translation>Ver detalles del canal...</translation>
    </message>
    <message>
        <source>Delete notification</source>
        <translation>Eliminar notificación</translation>
    </message>
</context>
<context>
    <name>NotificationList</name>
    <message>
        <source>a conversation</source>
        <translation>una conversación</translation>
    </message>
    <message>
        <source>You</source>
        <translation>Usted</translation>
    </message>
    <message>
        <source>Someone</source>
        <translation>Alguien</translation>
    </message>
    <message>
        <source>%1 added you as a friend</source>
        <translation>%1 le añadió como amigo</translation>
    </message>
    <message>
        <source>%1 removed you as a friend</source>
        <translation>%1 le quitó de sus amigos</translation>
    </message>
    <message>
        <source>You invited %1 to %2</source>
        <translation>Invitó a %1 a %2</translation>
    </message>
    <message>
        <source>%1 invited you to %2</source>
        <translation>%1 le invitó a %2</translation>
    </message>
    <message>
        <source>%1 has made you a moderator for %2</source>
        <translation>%1 le ha nombrado moderador de %2</translation>
    </message>
    <message>
        <source>%1 has removed your moderator status for %2</source>
        <translation>%1 le ha retirado la condición de moderador de %2</translation>
    </message>
    <message>
        <source>%1 has granted you access to %2</source>
        <translation>%1 le ha concedido acceso a %2</translation>
    </message>
    <message>
        <source>%1 has revoked your access to %2</source>
        <translation>%1 le ha retirado el acceso a %2</translation>
    </message>
    <message>
        <source>You invited %1 to join Tavri</source>
        <translation>Invitó a %1 a unirse a Tavri</translation>
    </message>
</context>
<context>
    <name>NotificationsArea</name>
    <message>
        <source>Update is available!</source>
        <translation>¡Hay una actualización disponible!</translation>
    </message>
    <message>
        <source>Right click for options</source>
        <translation>Haga clic derecho para ver opciones</translation>
    </message>
</context>
<context>
    <name>NotificationsHeaderContextMenu</name>
    <message>
        <source>Clear all notifications</source>
        <translation>Borrar todas las notificaciones</translation>
    </message>
</context>
<context>
    <name>OwnedChannelsHeaderContextMenu</name>
    <message>
        <source>NEW CHANNEL...</source>
        <translation>CANAL NUEVO...</translation>
    </message>
    <message>
        <source>REFRESH</source>
        <translation>ACTUALIZAR</translation>
    </message>
</context>
<context>
    <name>ParticipantContextMenu</name>
    <message>
        <source>START PRIVATE CHAT</source>
        <translation>INICIAR CHAT PRIVADO</translation>
    </message>
    <message>
        <source>REMOVE AS FRIEND</source>
        <translation>QUITAR DE AMIGOS</translation>
    </message>
    <message>
        <source>ADD AS FRIEND</source>
        <translation>AÑADIR COMO AMIGO</translation>
    </message>
    <message>
        <source>VIEW PROFILE...</source>
        <translation>VER PERFIL...</translation>
    </message>
    <message>
        <source>UNMUTE USER</source>
        <translation>QUITAR SILENCIO AL USUARIO</translation>
    </message>
    <message>
        <source>MUTE USER</source>
        <translation>SILENCIAR USUARIO</translation>
    </message>
    <message>
        <source>UNMUTE USER FOR EVERYONE</source>
        <translation>QUITAR SILENCIO PARA TODOS</translation>
    </message>
    <message>
        <source>MUTE USER FOR EVERYONE</source>
        <translation>SILENCIAR PARA TODOS</translation>
    </message>
    <message>
        <source>Change text color</source>
        <translation>Cambiar color del texto</translation>
    </message>
    <message>
        <source>KICK USER</source>
        <translation>EXPULSAR USUARIO</translation>
    </message>
    <message>
        <source>BAN USER</source>
        <translation>VETAR USUARIO</translation>
    </message>
    <message>
        <source>REMOVE MODERATOR PRIVILEGES</source>
        <translation>QUITAR PRIVILEGIOS DE MODERADOR</translation>
    </message>
    <message>
        <source>ADD MODERATOR PRIVILEGES</source>
        <translation>DAR PRIVILEGIOS DE MODERADOR</translation>
    </message>
    <message>
        <source>Remove from list</source>
        <translation>Quitar de la lista</translation>
    </message>
</context>
<context>
    <name>ParticipantsPopup</name>
    <message>
        <source>Users in channel</source>
        <translation>Usuarios en el canal</translation>
    </message>
</context>
<context>
    <name>PermanentConversationDeleteConfirmDialog</name>
    <message>
        <source>Confirm delete</source>
        <translation>Confirmar eliminación</translation>
    </message>
    <message>
        <source>You are about to delete %1, are you sure?</source>
        <translation>Va a eliminar %1. ¿Está seguro?</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>PermanentConversationItemContextMenu</name>
    <message>
        <source>JOIN CHANNEL</source>
        <translation>UNIRSE AL CANAL</translation>
    </message>
    <message>
        <source>VIEW LOGS</source>
        <translation>VER REGISTROS</translation>
    </message>
    <message>
        <source>SHARE</source>
        <translation>COMPARTIR</translation>
    </message>
    <message>
        <source>INVITE / JOIN</source>
        <translation>INVITAR / UNIRSE</translation>
    </message>
    <message>
        <source>VIA EMAIL...</source>
        <translation>POR CORREO...</translation>
    </message>
    <message>
        <source>VIA LINK (copied to clipboard)</source>
        <translation>CON UN ENLACE (copiado al portapapeles)</translation>
    </message>
    <message>
        <source>EDIT CHANNEL...</source>
        <translation>EDITAR CANAL...</translation>
    </message>
    <message>
        <source>DELETE CHANNEL</source>
        <translation>ELIMINAR CANAL</translation>
    </message>
    <message>
        <source>ADD SUBCHANNEL...</source>
        <translation>AÑADIR SUBCANAL...</translation>
    </message>
    <message>
        <source>VIEW INFO...</source>
        <translation>VER INFORMACIÓN...</translation>
    </message>
    <message>
        <source>REMOVE FROM FAVORITES</source>
        <translation>QUITAR DE FAVORITOS</translation>
    </message>
</context>
<context>
    <name>PermanentConversationTreeItemDelegate</name>
    <message numerus="yes">
        <source>%n user(s)</source>
        <translation>
            <numerusform>%n usuario</numerusform>
            <numerusform>%n usuarios</numerusform>
        </translation>
    </message>
    <message>
        <source>Remove from favorites</source>
        <translation>Quitar de favoritos</translation>
    </message>
    <message>
        <source>Add to favorites</source>
        <translation>Añadir a favoritos</translation>
    </message>
    <message>
        <source>Edit channel</source>
        <translation>Editar canal</translation>
    </message>
    <message>
        <source>Copy a link to this channel</source>
        <translation>Copiar un enlace a este canal</translation>
    </message>
    <message>
        <source>Leave channel</source>
        <translation>Salir del canal</translation>
    </message>
</context>
<context>
    <name>PostCallSurvey</name>
    <message>
        <source>Sorry that you have experienced problems, please let us know more details so we can try to resolve them.</source>
        <translation>Lamentamos que haya tenido problemas; cuéntenos más detalles para que podamos intentar resolverlos.</translation>
    </message>
    <message>
        <source>Very Poor - conversation was impossible</source>
        <translation>Muy mala - la conversación fue imposible</translation>
    </message>
    <message>
        <source>Poor - conversation was hard to follow</source>
        <translation>Mala - costaba seguir la conversación</translation>
    </message>
    <message>
        <source>Okay - some issues, affected the conversation</source>
        <translation>Aceptable - algunos problemas afectaron a la conversación</translation>
    </message>
    <message>
        <source>Good - minor issues, not noticeable</source>
        <translation>Buena - problemas menores, apenas perceptibles</translation>
    </message>
    <message>
        <source>Great - clear, no problems</source>
        <translation>Excelente - clara, sin problemas</translation>
    </message>
    <message>
        <source>Quality Survey</source>
        <translation>Encuesta de calidad</translation>
    </message>
    <message>
        <source>Please rate your experience for this call.</source>
        <translation>Valore su experiencia en esta llamada.</translation>
    </message>
    <message>
        <source>Do not show this screen again</source>
        <translation>No volver a mostrar esta pantalla</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Enviar</translation>
    </message>
</context>
<context>
    <name>PresenceStatusMenu</name>
    <message>
        <source>ONLINE</source>
        <translation>CONECTADO</translation>
    </message>
    <message>
        <source>AWAY</source>
        <translation>AUSENTE</translation>
    </message>
    <message>
        <source>APPEAR OFFLINE</source>
        <translation>APARECER DESCONECTADO</translation>
    </message>
    <message>
        <source>EDIT STATUS MESSAGES...</source>
        <translation>EDITAR MENSAJES DE ESTADO...</translation>
    </message>
</context>
<context>
    <name>QSocialManager</name>
    <message>
        <source>Update available!</source>
        <translation>¡Actualización disponible!</translation>
    </message>
</context>
<context>
    <name>RecentActivityEntryContextMenu</name>
    <message>
        <source>REJOIN CONVERSATION</source>
        <translation>VOLVER A LA CONVERSACIÓN</translation>
    </message>
    <message>
        <source>VIEW LOG</source>
        <translation>VER REGISTRO</translation>
    </message>
</context>
<context>
    <name>RecentHistoryPane</name>
    <message>
        <source>Recent Conversations</source>
        <translation>Conversaciones recientes</translation>
    </message>
    <message>
        <source>Clear recent activity</source>
        <translation>Borrar actividad reciente</translation>
    </message>
    <message>
        <source>Click to hide participants</source>
        <translation>Haga clic para ocultar a los participantes</translation>
    </message>
    <message>
        <source>Click to show participants</source>
        <translation>Haga clic para mostrar a los participantes</translation>
    </message>
    <message>
        <source>Rejoin conversation</source>
        <translation>Volver a la conversación</translation>
    </message>
    <message>
        <source>Start private chat</source>
        <translation>Iniciar chat privado</translation>
    </message>
</context>
<context>
    <name>ReportIssue</name>
    <message>
        <source>Please describe the issue you are experiencing here.</source>
        <translation>Describa aquí el problema que tiene.</translation>
    </message>
    <message>
        <source>Thank you for the report! We will follow up by e-mail. If no e-mail arrives within two days, please write to %1.</source>
        <translation>¡Gracias por el informe! Le responderemos por correo. Si no recibe ningún correo en dos días, escriba a %1.</translation>
    </message>
    <message>
        <source>Thank you for the report! Our developers will be looking into it shortly.</source>
        <translation>¡Gracias por el informe! Nuestros desarrolladores lo revisarán en breve.</translation>
    </message>
    <message>
        <source>Report Issue</source>
        <translation>Informar de un problema</translation>
    </message>
    <message>
        <source>Please Check All That Apply</source>
        <translation>Marque todo lo que corresponda</translation>
    </message>
    <message>
        <source>I could not hear other users at all</source>
        <translation>No oía en absoluto a los demás usuarios</translation>
    </message>
    <message>
        <source>I heard other users&apos; audio cut out</source>
        <translation>El audio de los demás usuarios se cortaba</translation>
    </message>
    <message>
        <source>Other users&apos; audio had pops and clicks</source>
        <translation>El audio de los demás usuarios tenía chasquidos</translation>
    </message>
    <message>
        <source>I heard my own voice (echo)</source>
        <translation>Oía mi propia voz (eco)</translation>
    </message>
    <message>
        <source>Other users could not hear me</source>
        <translation>Los demás usuarios no me oían</translation>
    </message>
    <message>
        <source>My audio cut out for other users</source>
        <translation>Mi audio se cortaba para los demás usuarios</translation>
    </message>
    <message>
        <source>My audio had pops and clicks for other users</source>
        <translation>Mi audio tenía chasquidos para los demás usuarios</translation>
    </message>
    <message>
        <source>Other users complained I caused echo</source>
        <translation>Los demás usuarios se quejaron de que yo causaba eco</translation>
    </message>
    <message>
        <source>Send a followup e-mail to </source>
        <translation>Enviar un correo de seguimiento a </translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Enviar</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
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
        <translation>SALIDA DE VOZ</translation>
    </message>
    <message>
        <source>Stop Test</source>
        <translation>Detener prueba</translation>
    </message>
    <message>
        <source>Start Test</source>
        <translation>Iniciar prueba</translation>
    </message>
    <message>
        <source>Click this button to play prerecorded audio to your configured output device.</source>
        <translation>Haga clic en este botón para reproducir un audio grabado en el dispositivo de salida configurado.</translation>
    </message>
    <message>
        <source>You can use this audio to properly set the volume level.</source>
        <translation>Puede usar este audio para ajustar bien el volumen.</translation>
    </message>
    <message>
        <source>Gain: %1 dB</source>
        <translation>Ganancia: %1 dB</translation>
    </message>
    <message>
        <source>Use this slider to adjust your output volume.</source>
        <translation>Use este control para ajustar el volumen de salida.</translation>
    </message>
    <message>
        <source>Click to unmute</source>
        <translation>Haga clic para activar el sonido</translation>
    </message>
    <message>
        <source>Click to mute</source>
        <translation>Haga clic para silenciar</translation>
    </message>
    <message>
        <source>VOICE INPUT</source>
        <translation>ENTRADA DE VOZ</translation>
    </message>
    <message>
        <source>If you are using headphones, click this button to record your own</source>
        <translation>Si usa auriculares, haga clic en este botón para grabar su propia</translation>
    </message>
    <message>
        <source>voice and play it back as you speak.</source>
        <translation>voz y oírla mientras habla.</translation>
    </message>
    <message>
        <source>This will help you set the input device level correctly.</source>
        <translation>Esto le ayudará a ajustar bien el nivel del dispositivo de entrada.</translation>
    </message>
    <message>
        <source>Help manage audio input levels automatically</source>
        <translation>Ayudar a gestionar automáticamente los niveles de entrada de audio</translation>
    </message>
    <message>
        <source>Current Noise Floor</source>
        <translation>Nivel de ruido actual</translation>
    </message>
    <message>
        <source>Speech Threshold</source>
        <translation>Umbral de voz</translation>
    </message>
    <message>
        <source>Speech Threshold Range</source>
        <translation>Rango del umbral de voz</translation>
    </message>
    <message>
        <source>Use this slider to adjust the dynamic range for speech detection threshold.  Adjust this if you can&apos;t be heard, or if your background noise is always being heard.</source>
        <translation>Use este control para ajustar el rango dinámico del umbral de detección de voz.  Ajústelo si no se le oye o si siempre se oye el ruido de fondo.</translation>
    </message>
    <message>
        <source>Use this slider to adjust your input volume.  Typically, this does not need adjustment.</source>
        <translation>Use este control para ajustar el volumen de entrada.  Normalmente no hace falta ajustarlo.</translation>
    </message>
    <message>
        <source>This indicates whether your microphone is active or not.</source>
        <translation>Indica si el micrófono está activo o no.</translation>
    </message>
    <message>
        <source>Your microphone is active</source>
        <translation>El micrófono está activo</translation>
    </message>
    <message>
        <source>Enable your microphone or press your push-to-talk key(s)</source>
        <translation>Active el micrófono o pulse las teclas de pulsar para hablar</translation>
    </message>
    <message>
        <source>Noise floor: %1 dB</source>
        <translation>Nivel de ruido: %1 dB</translation>
    </message>
    <message>
        <source>The noise floor is the effective minimum loudness for audio to be transmitted.  Background noise should be below this line, but some background noise will be tolerated up to the speech threshold.</source>
        <translation>El nivel de ruido es la intensidad mínima efectiva para que se transmita el audio.  El ruido de fondo debería quedar por debajo de esta línea, aunque se tolera algo de ruido hasta el umbral de voz.</translation>
    </message>
    <message>
        <source>Effective Speech threshold: %1 dB</source>
        <translation>Umbral de voz efectivo: %1 dB</translation>
    </message>
    <message>
        <source>The effective speech threshold is the relative loudness for audio to be transmitted.  Speaking should be past this line.</source>
        <translation>El umbral de voz efectivo es la intensidad relativa para que se transmita el audio.  Al hablar debería superarse esta línea.</translation>
    </message>
    <message>
        <source>Please unmute your microphone for proper detection results</source>
        <translation>Active el micrófono para que la detección funcione bien</translation>
    </message>
    <message>
        <source>TRANSMIT</source>
        <translation>TRANSMISIÓN</translation>
    </message>
    <message>
        <source>Open microphone</source>
        <extracomment>Selecting voice detection transmission mode</extracomment>
        <translation>Micrófono abierto</translation>
    </message>
    <message>
        <source>Push and hold to talk</source>
        <extracomment>Key or mouse press and hold to transmit</extracomment>
        <translation>Mantener pulsado para hablar</translation>
    </message>
    <message>
        <source>Push to mute/unmute</source>
        <extracomment>Press-and-release to toggle transmit</extracomment>
        <translation>Pulsar para silenciar/activar</translation>
    </message>
    <message>
        <source>Keys/Mouse Buttons</source>
        <translation>Teclas/botones del ratón</translation>
    </message>
    <message>
        <source>Press up to 4 keys/mouse buttons simultaneously</source>
        <translation>Pulse hasta 4 teclas/botones del ratón a la vez</translation>
    </message>
    <message>
        <source>Click in the box directly above to edit</source>
        <translation>Haga clic en el cuadro de arriba para editar</translation>
    </message>
    <message>
        <source>Left and right mouse buttons are not permitted for PTT</source>
        <translation>Los botones izquierdo y derecho del ratón no se permiten para pulsar para hablar</translation>
    </message>
    <message>
        <source>WARNING: Please add Tavri to access list. For more information follow the link:</source>
        <translation>AVISO: añada Tavri a la lista de acceso. Para más información, siga el enlace:</translation>
    </message>
    <message>
        <source>Click here</source>
        <translation>Haga clic aquí</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Restablecer</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Listo</translation>
    </message>
    <message>
        <source>The audio input test cannot be run while you are in a channel.</source>
        <translation>La prueba de entrada de audio no se puede hacer mientras esté en un canal.</translation>
    </message>
    <message>
        <source>Exit Channels to continue the test, or cancel to remain in channel.</source>
        <translation>Salga de los canales para continuar la prueba, o cancele para seguir en el canal.</translation>
    </message>
    <message>
        <source>Exit Channels and Test</source>
        <translation>Salir de los canales y probar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>SettingsGeneralWindow</name>
    <message>
        <source>Tavri PREFERENCES</source>
        <translation>PREFERENCIAS de Tavri</translation>
    </message>
    <message>
        <source>Run at startup</source>
        <translation>Iniciar al arrancar el sistema</translation>
    </message>
    <message>
        <source>Login automatically</source>
        <translation>Entrar automáticamente</translation>
    </message>
    <message>
        <source>Show offline friends</source>
        <translation>Mostrar amigos desconectados</translation>
    </message>
    <message>
        <source>Show custom names</source>
        <translation>Mostrar nombres personalizados</translation>
    </message>
    <message>
        <source>Join channel from hyperlink</source>
        <translation>Unirse a canales desde enlaces</translation>
    </message>
    <message>
        <source>Disable post-call survey</source>
        <translation>Desactivar la encuesta tras las llamadas</translation>
    </message>
    <message>
        <source>Show timestamps in chat</source>
        <translation>Mostrar la hora en el chat</translation>
    </message>
    <message>
        <source>Disconnect from idle channels</source>
        <translation>Desconectar de canales inactivos</translation>
    </message>
    <message>
        <source>When enabled, you will be prompted to disconnect from channels when you are the only participant for several minutes.  You may opt out of disconnecting at that time.  Disabling this option disables the prompt, leaving you in channel until forced or requested to disconnect.</source>
        <translation>Si está activado, se le propondrá desconectarse de los canales en los que sea el único participante durante varios minutos.  En ese momento podrá decidir no desconectarse.  Si lo desactiva, no se le preguntará y seguirá en el canal hasta que se le desconecte o lo pida.</translation>
    </message>
    <message>
        <source>Show tutorial on startup</source>
        <translation>Mostrar el tutorial al iniciar</translation>
    </message>
    <message>
        <source>When enabled, you may see areas of the interface highlighted, which may show hints on use when clicked.</source>
        <translation>Si está activado, verá resaltadas algunas zonas de la interfaz que, al hacer clic, muestran sugerencias de uso.</translation>
    </message>
    <message>
        <source>Log chat messages</source>
        <translation>Guardar los mensajes del chat</translation>
    </message>
    <message>
        <source>NOTIFICATIONS</source>
        <translation>NOTIFICACIONES</translation>
    </message>
    <message>
        <source>Show chat message notifications</source>
        <translation>Notificar mensajes de chat</translation>
    </message>
    <message>
        <source>Show friend request notifications</source>
        <translation>Notificar solicitudes de amistad</translation>
    </message>
    <message>
        <source>Show channel invite notifications</source>
        <translation>Notificar invitaciones a canales</translation>
    </message>
    <message>
        <source>Show other notifications</source>
        <translation>Mostrar otras notificaciones</translation>
    </message>
    <message>
        <source>SKIN</source>
        <translation>APARIENCIA</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Actualizar</translation>
    </message>
    <message>
        <source>LANGUAGE</source>
        <translation>IDIOMA</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Inglés</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Ruso</translation>
    </message>
    <message>
        <source>Change takes effect after application restarts</source>
        <translation>El cambio se aplica al reiniciar la aplicación</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Restablecer</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Listo</translation>
    </message>
    <message>
        <source>Theme changed - please click OK to accept, or Cancel or wait to revert.</source>
        <translation>Tema cambiado: haga clic en Aceptar para conservarlo, o en Cancelar o espere para volver al anterior.</translation>
    </message>
    <message>
        <source>%1 seconds remaining...</source>
        <translation>Quedan %1 segundos...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>SettingsProfilePage</name>
    <message>
        <source>Choose your profile picture</source>
        <translation>Elija su imagen de perfil</translation>
    </message>
    <message>
        <source>Images</source>
        <translation>Imágenes</translation>
    </message>
    <message>
        <source>Click to change image</source>
        <translation>Haga clic para cambiar la imagen</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Nombre de usuario</translation>
    </message>
    <message>
        <source>Optional custom name</source>
        <translation>Nombre personalizado opcional</translation>
    </message>
    <message>
        <source>Enter display name here...</source>
        <translation>Escriba aquí el nombre visible...</translation>
    </message>
    <message>
        <source>E-mail address</source>
        <translation>Dirección de correo</translation>
    </message>
    <message>
        <source>Tag line</source>
        <translation>Lema</translation>
    </message>
    <message>
        <source>Enter tag line here...</source>
        <translation>Escriba aquí su lema...</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Ubicación</translation>
    </message>
    <message>
        <source>Enter location here...</source>
        <translation>Escriba aquí su ubicación...</translation>
    </message>
    <message>
        <source>Description (%1 of %2 characters)</source>
        <translation>Descripción (%1 de %2 caracteres)</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Guardar</translation>
    </message>
</context>
<context>
    <name>SettingsTTSWindow</name>
    <message>
        <source>Disabled</source>
        <translation>Desactivado</translation>
    </message>
    <message>
        <source>Text-to-speech</source>
        <translation>Texto a voz</translation>
    </message>
    <message>
        <source>Play sound</source>
        <translation>Reproducir sonido</translation>
    </message>
    <message>
        <source>Text-to-speech minimized only</source>
        <translation>Texto a voz solo minimizado</translation>
    </message>
    <message>
        <source>Play sound minimized only</source>
        <translation>Sonido solo minimizado</translation>
    </message>
    <message>
        <source>Choose sound file</source>
        <translation>Elegir archivo de sonido</translation>
    </message>
    <message>
        <source>All events</source>
        <translation>Todos los eventos</translation>
    </message>
    <message>
        <source>Text to Speech/
Sound Volume</source>
        <translation>Volumen de voz/
sonido</translation>
    </message>
    <message>
        <source>Text to speech</source>
        <translation>Texto a voz</translation>
    </message>
    <message>
        <source>Click to unmute</source>
        <translation>Haga clic para activar el sonido</translation>
    </message>
    <message>
        <source>Click to mute</source>
        <translation>Haga clic para silenciar</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Evento</translation>
    </message>
    <message>
        <source>Play...</source>
        <translation>Reproducir...</translation>
    </message>
    <message>
        <source>Sound</source>
        <translation>Sonido</translation>
    </message>
    <message>
        <source>Text to Speech voice</source>
        <translation>Voz de texto a voz</translation>
    </message>
    <message>
        <source>** Text-to-speech not enabled for your system.</source>
        <translation>** El texto a voz no está disponible en su sistema.</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Restablecer</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Listo</translation>
    </message>
    <message>
        <source>Click to select</source>
        <translation>Haga clic para elegir</translation>
    </message>
    <message>
        <source>Click to play</source>
        <translation>Haga clic para reproducir</translation>
    </message>
    <message>
        <source>Click to revert to default</source>
        <translation>Haga clic para volver al predeterminado</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>General Settings</source>
        <translation>Ajustes generales</translation>
    </message>
    <message>
        <source>Audio Settings</source>
        <translation>Ajustes de audio</translation>
    </message>
    <message>
        <source>Edit Profile</source>
        <translation>Editar perfil</translation>
    </message>
    <message>
        <source>Sounds</source>
        <translation>Sonidos</translation>
    </message>
    <message>
        <source>GENERAL</source>
        <translation>GENERAL</translation>
    </message>
    <message>
        <source>AUDIO</source>
        <translation>AUDIO</translation>
    </message>
    <message>
        <source>PROFILE</source>
        <translation>PERFIL</translation>
    </message>
    <message>
        <source>SOUNDS</source>
        <translation>SONIDOS</translation>
    </message>
</context>
<context>
    <name>SkinMenu</name>
    <message>
        <source>Find more skins...</source>
        <translation>Buscar más apariencias...</translation>
    </message>
</context>
<context>
    <name>TavriApplication</name>
    <message>
        <source>Show Tavri</source>
        <translation>Mostrar Tavri</translation>
    </message>
    <message>
        <source>Show as Online</source>
        <translation>Aparecer conectado</translation>
    </message>
    <message>
        <source>Show as Away</source>
        <translation>Aparecer ausente</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Tavri Application</source>
        <translation>Aplicación Tavri</translation>
    </message>
    <message>
        <source>Join channel via hyperlink is disabled in general settings</source>
        <translation>Unirse a canales desde enlaces está desactivado en los ajustes generales</translation>
    </message>
    <message>
        <source>Cannot add yourself as a friend</source>
        <translation>No puede añadirse a sí mismo como amigo</translation>
    </message>
    <message>
        <source>You have added a friend</source>
        <translation>Ha añadido un amigo</translation>
    </message>
    <message>
        <source>Notification for %1</source>
        <translation>Notificación para %1</translation>
    </message>
    <message>
        <source>You have added a favorite channel</source>
        <translation>Ha añadido un canal favorito</translation>
    </message>
    <message>
        <source>Failed to add channel.</source>
        <translation>No se pudo añadir el canal.</translation>
    </message>
    <message>
        <source>Failed to change channel information.</source>
        <translation>No se pudo cambiar la información del canal.</translation>
    </message>
    <message>
        <source>Problem joining %1: connection timed out.  Please try again later.</source>
        <translation>Problema al unirse a %1: se agotó el tiempo de conexión.  Inténtelo más tarde.</translation>
    </message>
    <message>
        <source>Cannot join channel while testing audio.</source>
        <translation>No puede unirse a un canal mientras prueba el audio.</translation>
    </message>
    <message>
        <source>Cannot access microphone, please check for conflicting software.</source>
        <translation>No se puede acceder al micrófono; compruebe si otro programa lo está usando.</translation>
    </message>
    <message>
        <source>Cannot be in echo channel while in another channel.</source>
        <translation>No puede estar en el canal de eco mientras esté en otro canal.</translation>
    </message>
    <message>
        <source>Could not find file for playback</source>
        <translation>No se encontró el archivo que reproducir</translation>
    </message>
    <message>
        <source>Tavri Alert: Voice data blocked</source>
        <translation>Alerta de Tavri: datos de voz bloqueados</translation>
    </message>
    <message>
        <source>Update available</source>
        <translation>Actualización disponible</translation>
    </message>
    <message>
        <source>Click here to open Tavri and view the update</source>
        <translation>Haga clic aquí para abrir Tavri y ver la actualización</translation>
    </message>
    <message>
        <source>Channel %1 does not exist</source>
        <translation>El canal %1 no existe</translation>
    </message>
    <message>
        <source>There is a problem with your audio device. Please ensure you have an active input and output audio device.</source>
        <translation>Hay un problema con el dispositivo de audio. Compruebe que tiene activos un dispositivo de entrada y otro de salida.</translation>
    </message>
    <message>
        <source>Lost connection to voice server</source>
        <translation>Se perdió la conexión con el servidor de voz</translation>
    </message>
    <message>
        <source>You have joined %1</source>
        <translation>Se ha unido a %1</translation>
    </message>
    <message>
        <source>You have left %1</source>
        <translation>Ha salido de %1</translation>
    </message>
    <message>
        <source>%2 has joined %1</source>
        <translation>%2 se ha unido a %1</translation>
    </message>
    <message>
        <source>%2 has left %1</source>
        <translation>%2 ha salido de %1</translation>
    </message>
    <message>
        <source>Someone</source>
        <translation>Alguien</translation>
    </message>
    <message>
        <source>Logged out of %1</source>
        <translation>Sesión cerrada en %1</translation>
    </message>
    <message>
        <source>Problem joining %1: password required.</source>
        <translation>Problema al unirse a %1: se requiere contraseña.</translation>
    </message>
    <message>
        <source>Problem joining %1: access denied.
Please contact channel owner for permission.</source>
        <translation>Problema al unirse a %1: acceso denegado.
Pida permiso al propietario del canal.</translation>
    </message>
    <message>
        <source>Chat message from: %1</source>
        <translation>Mensaje de chat de: %1</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Tavri: Login</source>
        <translation>Tavri: Inicio de sesión</translation>
    </message>
    <message>
        <source>Tavri: Main</source>
        <translation>Tavri: Principal</translation>
    </message>
    <message>
        <source>Login timed out - check your network settings and try again later</source>
        <translation>Se agotó el tiempo de inicio de sesión; compruebe la configuración de red e inténtelo más tarde</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Ajustes</translation>
    </message>
    <message>
        <source>About Tavri</source>
        <translation>Acerca de Tavri</translation>
    </message>
    <message>
        <source>Edit presence messages</source>
        <translation>Editar mensajes de estado</translation>
    </message>
    <message>
        <source>Report Issue</source>
        <translation>Informar de un problema</translation>
    </message>
    <message>
        <source>Invite Friends via Email to </source>
        <translation>Invitar amigos por correo a </translation>
    </message>
    <message>
        <source>Invite Friends via Email to Tavri</source>
        <translation>Invitar amigos a Tavri por correo</translation>
    </message>
    <message>
        <source>Internal Use Only</source>
        <translation>Solo para uso interno</translation>
    </message>
    <message>
        <source>Quality Survey</source>
        <translation>Encuesta de calidad</translation>
    </message>
    <message>
        <source>Tavri: Tutorial</source>
        <translation>Tavri: Tutorial</translation>
    </message>
    <message>
        <source>Chat log</source>
        <translation>Registro del chat</translation>
    </message>
    <message>
        <source>Tavri Channel Hyperlink Copied to Clipboard</source>
        <translation>Enlace al canal de Tavri copiado al portapapeles</translation>
    </message>
    <message>
        <source>Paste this into an e-mail or game chat to invite your friends.</source>
        <translation>Péguelo en un correo o en el chat de un juego para invitar a sus amigos.</translation>
    </message>
</context>
<context>
    <name>TavriIdentityRealm</name>
    <message>
        <source>%1 has disabled audio.</source>
        <translation>%1 ha desactivado el audio.</translation>
    </message>
    <message>
        <source>%1 is offline</source>
        <translation>%1 está desconectado</translation>
    </message>
    <message>
        <source>You have enabled audio.</source>
        <translation>Ha activado el audio.</translation>
    </message>
    <message>
        <source>You have disabled audio.</source>
        <translation>Ha desactivado el audio.</translation>
    </message>
    <message>
        <source>%1 is trying to enable audio, click on the icon to enable audio.</source>
        <translation>%1 intenta activar el audio; haga clic en el icono para activar el audio.</translation>
    </message>
    <message>
        <source>%1 has declined to enable audio</source>
        <translation>%1 ha rechazado activar el audio</translation>
    </message>
    <message>
        <source>%1 has enabled audio.</source>
        <translation>%1 ha activado el audio.</translation>
    </message>
</context>
<context>
    <name>TavriIdentityRealmUser</name>
    <message>
        <source>Phone Caller %1</source>
        <translation>Llamada telefónica %1</translation>
    </message>
    <message>
        <source>User Profile: %1</source>
        <translation>Perfil de usuario: %1</translation>
    </message>
</context>
<context>
    <name>Tutorial</name>
    <message>
        <source>Tutorial</source>
        <translation>Tutorial</translation>
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
        <translation>Anterior</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Listo</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Siguiente</translation>
    </message>
    <message>
        <source>Close window</source>
        <translation>Cerrar ventana</translation>
    </message>
</context>
<context>
    <name>UserDetails</name>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>Location: %1</source>
        <translation>Ubicación: %1</translation>
    </message>
    <message>
        <source>Last online: %1</source>
        <translation>Última conexión: %1</translation>
    </message>
</context>
<context>
    <name>VolumeSpinBar</name>
    <message>
        <source>Muted</source>
        <translation>Silenciado</translation>
    </message>
</context>
<context>
    <name>WarningDialog</name>
    <message>
        <source>Alert!</source>
        <translation>¡Alerta!</translation>
    </message>
</context>
</TS>
