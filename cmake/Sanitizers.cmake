# KEYSTRAND_SANITIZE=ON builds everything with AddressSanitizer and UndefinedBehaviorSanitizer.
option(KEYSTRAND_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KEYSTRAND_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
