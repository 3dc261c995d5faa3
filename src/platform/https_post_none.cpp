#include "platform/https_post.h"

HttpsPoster SystemHttps()
{
    return HttpsPoster();
}
