#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# The ideweave module: hooks the Tindral tools into Developer Studio in one
# Wine prefix, or takes them out, through the ideweave program on the host.

DOCUMENTATION = r'''
module: ideweave
short_description: Hook the Tindral tools into Visual C++ 6.0 Developer Studio in a Wine prefix
description:
  - Runs C(ideweave) in one user's Wine prefix so that the Tindral tools are
    hooked into Developer Studio (I(state=present)) or taken out (I(state=absent)).
  - Converges. A prefix hooked for another product directory, or only in part,
    is unhooked and hooked again for I(tindraldir) in one run. The result says
    so in C(converged).
  - Reports C(changed) from the program's exit status (C(--detailed-exitcodes)),
    never from its text. Check mode is the program's C(--dry-run), which saves
    nothing. Diff mode shows each registry value before and after.
  - Run it as root, or as the prefix's owner. Run as root, ideweave does the
    whole run as the owner of the prefix.
options:
  prefix:
    description: The Wine prefix, an absolute path (its C(user.reg) is changed).
    type: path
    required: true
  state:
    description: Whether the product is hooked in (C(present)) or not (C(absent)).
    type: str
    choices: [present, absent]
    default: present
  tindraldir:
    description:
      - The product's installation directory, as Windows names it (C(C:\Tindral))
        or as a path of this host.
      - I(state=absent) takes the directory that the hooked entries name when there is one.
    type: str
    default: 'C:\Tindral'
  owner:
    description: The user who must own the prefix; the task fails for a prefix of anyone else.
    type: str
  program:
    description: The ideweave program.
    type: path
    default: ideweave
author: Brackwater Software
'''

EXAMPLES = r'''
- name: Hook Tindral into alice's Developer Studio
  ideweave:
    prefix: /home/alice/.wine-vc6
    owner: alice
    tindraldir: 'C:\Tindral'

- name: Take it out again
  ideweave:
    prefix: /home/alice/.wine-vc6
    state: absent
'''

RETURN = r'''
state:
  description: Where the product stands after the run, as C(ideweave -status) says it.
  returned: always
  type: str
  sample: installed
product_directory:
  description: The product directory that the hooked entries name after the run, or C(none).
  returned: always
  type: str
  sample: 'C:\Tindral'
converged:
  description: Whether the prefix, hooked for another product directory or in part, was unhooked first.
  returned: always
  type: bool
changes:
  description: Each registry value the run changed (in check mode, would change), one line each.
  returned: always
  type: list
  elements: str
  sample: ['set HKEY_CURRENT_USER\Software\Microsoft\Devstudio\6.0\Tools "NumTools": dword:00000003 -> dword:00000005']
'''

import os
import pwd
import re

from ansible.module_utils.basic import AnsibleModule

CHANGED = 2  # --detailed-exitcodes: changed
UNCHANGED = 0  # nothing needed changing
CHANGE_LINE = re.compile(r'^would (set|create|delete) (\S+(?: [^"]+)*) ("(?:[^"\\]|\\.)*"): (.*)$')
# "old -> new", where a quoted text may hold " -> " itself.
SET_DATA = re.compile(r'^("(?:[^"\\]|\\.)*"|\S+) -> (.*)$')


HIVE_ESCAPES = {'a': '\a', 'b': '\b', 't': '\t', 'n': '\n', 'v': '\v', 'f': '\f', 'r': '\r', 'e': '\x1b'}


def unescaped(match):
    escape = match.group(1)
    if escape[0] == 'x':
        return chr(int(escape[1:], 16))
    if escape[0] in '01234567':
        return chr(int(escape, 8))
    return HIVE_ESCAPES.get(escape, escape)


def unquoted(text):
    """A name or text as a hive quotes it (\\x20ac, \\033, \\n, \\"), back to itself."""
    return re.sub(r'\\(x[0-9a-fA-F]{1,4}|[0-7]{1,3}|.)', unescaped, text[1:-1])


def same_directory(first, second):
    """Product directories compare as Windows compares paths."""
    normal = [re.sub(r'\\+', '\\\\', path.replace('/', '\\')).rstrip('\\').lower() for path in (first, second)]
    return normal[0] == normal[1]


class Prefix:
    def __init__(self, module):
        self.module = module
        self.prefix = module.params['prefix']
        self.program = module.params['program']

    def run(self, tindraldir, *arguments):
        environment = {'WINEPREFIX': self.prefix, 'TINDRALDIR': tindraldir, 'LC_ALL': 'C.UTF-8', 'LANG': 'C.UTF-8'}
        return self.module.run_command([self.program] + list(arguments), environ_update=environment)

    def status(self, tindraldir):
        rc, out, err = self.run(tindraldir, '-status')
        if rc not in (0, 1, 3):
            self.module.fail_json(msg='ideweave -status failed: ' + (err or out).strip(), rc=rc)
        lines = dict(line.split(': ', 1) for line in out.splitlines() if ': ' in line)
        named = lines.get('product directory', 'none')
        return {'installed': rc == 0, 'hooked': rc != 3, 'state': lines.get('state', ''),
                'product_directory': named if named == 'none' else unquoted(named)}

    def change(self, mode, tindraldir):
        """One run of ideweave: the change lines and whether it changed anything."""
        arguments = [mode, '-quiet', '--detailed-exitcodes']
        if self.module.check_mode or self.module._diff:
            rc, out, err = self.run(tindraldir, *(arguments + ['--dry-run']))
            self.check(rc, err, out, mode)
            changes = [line[len('would '):] for line in out.splitlines() if line.startswith('would ')]
            if self.module.check_mode:
                return changes, rc == CHANGED
        rc, out, err = self.run(tindraldir, *arguments)
        self.check(rc, err, out, mode)
        if not (self.module.check_mode or self.module._diff):
            changes = []
        return changes, rc == CHANGED

    def check(self, rc, err, out, mode):
        if rc not in (CHANGED, UNCHANGED):
            self.module.fail_json(msg='ideweave %s failed (exit %d): %s' % (mode, rc, (err or out).strip()), rc=rc,
                                  stderr=err, stdout=out)


def diff_of(changes):
    """Each changed value before and after, as lines of key, name and data."""
    before, after = [], []
    for line in changes:
        match = CHANGE_LINE.match('would ' + line)
        if not match:
            continue
        verb, key, name, data = match.groups()
        old, new = SET_DATA.match(data).groups() if verb == 'set' else (('', data) if verb == 'create' else (data, ''))
        if old:
            before.append('%s %s: %s' % (key, name, old))
        if new:
            after.append('%s %s: %s' % (key, name, new))
    return {'before': '\n'.join(before) + '\n', 'after': '\n'.join(after) + '\n'}


def main():
    module = AnsibleModule(
        argument_spec=dict(prefix=dict(type='path', required=True), state=dict(type='str', default='present', choices=['present', 'absent']),
                           tindraldir=dict(type='str', default='C:\\Tindral'), owner=dict(type='str'),
                           program=dict(type='path', default='ideweave')),
        supports_check_mode=True)
    params = module.params
    if params['owner']:
        try:
            owner = pwd.getpwuid(os.stat(params['prefix']).st_uid).pw_name
        except (OSError, KeyError) as problem:
            module.fail_json(msg='cannot tell who owns %s: %s' % (params['prefix'], problem))
        if owner != params['owner']:
            module.fail_json(msg='the prefix %s belongs to %s, not %s' % (params['prefix'], owner, params['owner']))
    prefix = Prefix(module)
    wanted = params['tindraldir']
    found = prefix.status(wanted)
    named = found['product_directory']
    changes, changed, converged = [], False, False
    if params['state'] == 'absent':
        if found['hooked']:
            changes, changed = prefix.change('-uninstall', named if named != 'none' else wanted)
    elif not found['installed']:
        # Hooked for another directory, or in part: out first, with the directory the entries name.
        if found['hooked']:
            changes, changed = prefix.change('-uninstall', named if named != 'none' else wanted)
            converged = True
        more, installed = prefix.change('-install', wanted)
        changes, changed = changes + more, changed or installed
    final = found if module.check_mode else prefix.status(wanted)
    result = dict(changed=changed, converged=converged, changes=changes, state=final['state'],
                  product_directory=final['product_directory'])
    if module._diff:
        result['diff'] = diff_of(changes)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
