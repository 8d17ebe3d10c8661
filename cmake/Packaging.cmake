# The Debian package of the installed program: `cpack` in a release build
# folder (`make package`) leaves yanshubu_VERSION_ARCH.deb there. It holds
# what `cmake --install` installs: the program, yanshubu-db, the menu entry,
# the AppStream description and the icons; the tests, the benchmarks and the
# generator tools have no install rules, so they stay out.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME yanshubu)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "雁书簿")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# A RelWithDebInfo build carries its debug sections; the package does not.
set(CPACK_STRIP_FILES ON)
# Whatever the builder's umask, the folders in the package are as Debian's.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "address book on your own computer / 放在自己电脑上的通讯录")
set(CPACK_PACKAGE_DESCRIPTION
"雁书簿 keeps contact cards (names, telephones, e-mail, QQ, addresses,
employers and notes) in one file on your computer. Find people by part of
their name, its pinyin or initials, or part of a number; print cards and
telephone lists; exchange contacts with phones through vCard and CSV.

雁书簿把联系人卡片（姓名、电话、电子邮件、QQ、地址、工作单位和备注）保存在您
电脑上的一个文件里。可以按姓名、拼音、首字母或号码的一段查找联系人，打印卡片和
电话簿，并通过 vCard 和 CSV 与手机交换联系人。")

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "雁书簿 <yanshubu@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

# dpkg-shlibdeps (package dpkg-dev) names the libraries' packages. In Debian
# 12 two of them hold plugins too: libqt6gui6 the X11 platform plugin
# (qt6-qpa-plugins has only VNC and TUIO), libqt6svg6, which the program
# links, the SVG plugins that draw the artwork and icon. What is loaded at run
# time it cannot see: the fonts standing in for 宋体 and 黑体, Qt's Chinese texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-arphic-uming, fonts-noto-cjk, qt6-translations-l10n")
# On a Wayland desktop without it Qt runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

include(CPack)
