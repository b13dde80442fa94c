// Anchor of the platform_core component.
namespace w4util_platform_internal {
int platform_core_anchor = 0;
}
