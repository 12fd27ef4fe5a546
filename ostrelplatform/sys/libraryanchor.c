/* The shared library's own translation unit; its whole content comes from the
 * static core linked in whole. */
typedef int ostrelplatform_anchor_t;
