// Keeps the host library non-empty until its first layer lands.
namespace host {
int hostLibraryAnchor = 0;
}
