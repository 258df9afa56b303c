#!/usr/bin/python
# SPDX-License-Identifier: MIT
# The ideweave module: hooks the Tindral tools into Developer Studio in one
# Wine prefix, or takes them out, through the ideweave program on the host.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

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
    never from its text, and each change from the run's own record (C(--log)).
  - Check mode is the program's C(--dry-run), which saves nothing. Where the
    prefix must be unhooked and hooked again, both runs are made for real on a
    copy of the prefix made of hard links, so that check mode reports what the
    real run would do; the prefix itself is not touched.
  - Diff mode shows each registry value as the run found it and as it left it.
  - Run it as root, or as the prefix's owner. Run as root, ideweave does the
    whole run as the owner of the prefix.
options:
  prefix:
    description:
      - The Wine prefix, an absolute path (its C(user.reg) is changed), taken as
        given; only a leading C(~) is expanded, to the home of the user who runs
        the module. C($) and other characters are part of the name.
    type: str
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
    description: The ideweave program, a name looked up in C(PATH) or a path taken as given.
    type: str
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
  description:
    - Each registry value the run changed (in check mode, would change), one line each,
      in the order made; where the prefix was unhooked and hooked again, the lines of both runs.
  returned: always
  type: list
  elements: str
  sample: ['set HKEY_CURRENT_USER\Software\Microsoft\Devstudio\6.0\Tools "NumTools": dword:00000003 -> dword:00000005']
'''

import os
import pwd
import re
import shutil
import tempfile

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
    def __init__(self, module, path):
        self.module = module
        self.prefix = path
        self.program = module.params['program']

    def run(self, tindraldir, *arguments):
        environment = {'WINEPREFIX': self.prefix, 'TINDRALDIR': tindraldir, 'LC_ALL': 'C.UTF-8', 'LANG': 'C.UTF-8'}
        return self.module.run_command([self.program] + list(arguments), environ_update=environment, expand_user_and_vars=False)

    def status(self, tindraldir):
        rc, out, err = self.run(tindraldir, '-status')
        if rc not in (0, 1, 3):
            self.module.fail_json(msg='ideweave -status failed (exit %d): %s' % (rc, (err or out).strip()), rc=rc)
        lines = dict(line.split(': ', 1) for line in out.splitlines() if ': ' in line)
        named = lines.get('product directory', 'none')
        return {'installed': rc == 0, 'hooked': rc != 3, 'state': lines.get('state', ''),
                'product_directory': named if named == 'none' else unquoted(named)}

    def change(self, mode, tindraldir, dry_run):
        """One run of ideweave: the change lines of its record and whether it changed anything."""
        record = os.path.join(self.module.tmpdir, 'ideweave-run.log')
        if os.path.exists(record):
            os.unlink(record)
        arguments = [mode, '-quiet', '--detailed-exitcodes', '--log', record] + (['--dry-run'] if dry_run else [])
        rc, out, err = self.run(tindraldir, *arguments)
        if rc not in (CHANGED, UNCHANGED):
            self.module.fail_json(msg='ideweave %s failed (exit %d): %s' % (mode, rc, (err or out).strip()), rc=rc,
                                  stderr=err, stdout=out)
        label = 'would change: ' if dry_run else 'change: '
        with open(record, encoding='utf-8') as lines:
            changes = [line.rstrip('\n')[len(label):] for line in lines if line.startswith(label)]
        return changes, rc == CHANGED


class Copy:
    """The prefix again, made of hard links: its files are the prefix's until a
    run replaces them, which a save does by renaming a new file over the old."""
    def __init__(self, module, prefix):
        self.module = module
        # Beside the module's own folder, which only root may enter: the copy is
        # the prefix owner's, and ideweave makes its runs as that owner.
        self.folder = tempfile.mkdtemp(prefix='ideweave-check.')
        os.chmod(self.folder, 0o711)
        self.path = os.path.join(self.folder, 'prefix')
        rc, out, err = module.run_command(['cp', '-al', prefix, self.path], expand_user_and_vars=False)
        if rc != 0:
            module.fail_json(msg='cannot copy %s for check mode: %s' % (prefix, (err or out).strip()))
        # The copy records no server folder of the prefix's: Wine's record would name the owner's.
        record = os.path.join(self.path, 'wineserver')
        if os.path.lexists(record):
            os.unlink(record)

    def remove(self):
        record = os.path.join(self.path, 'wineserver')
        if os.path.isfile(record):
            with open(record) as name:
                folder = name.readline().strip()
            if folder and '/' not in folder:
                shutil.rmtree(os.path.join(os.environ.get('TMPDIR', '/tmp'), folder), ignore_errors=True)
        shutil.rmtree(self.folder, ignore_errors=True)


def net_changes(changes):
    """Each value once, as the first run found it and the last left it."""
    order, first, last = [], {}, {}
    for line in changes:
        match = CHANGE_LINE.match('would ' + line)
        if not match:
            continue
        verb, key, name, data = match.groups()
        old, new = SET_DATA.match(data).groups() if verb == 'set' else (('', data) if verb == 'create' else (data, ''))
        value = (key, name.lower())
        if value not in first:
            order.append(value)
            first[value] = (key, name, old)
        last[value] = new
    return [(first[value][0], first[value][1], first[value][2], last[value]) for value in order
            if first[value][2] != last[value]]


def diff_of(changes):
    """Each changed value before and after, as lines of key, name and data."""
    before, after = [], []
    for key, name, old, new in net_changes(changes):
        if old:
            before.append('%s %s: %s' % (key, name, old))
        if new:
            after.append('%s %s: %s' % (key, name, new))
    return {'before': '\n'.join(before) + '\n', 'after': '\n'.join(after) + '\n'}


def converge(module, prefix, found, wanted, dry_run):
    """The runs that bring the prefix where it is wanted: their changes, and whether any changed it."""
    named = found['product_directory']
    hooked_for = named if named != 'none' else wanted
    if module.params['state'] == 'absent':
        return prefix.change('-uninstall', hooked_for, dry_run) if found['hooked'] else ([], False)
    if found['installed']:
        return [], False
    if not found['hooked']:
        return prefix.change('-install', wanted, dry_run)
    # Hooked for another directory, or in part: out first, with the directory the
    # entries name; a check makes both runs on a copy, so that the second sees the first.
    copy = Copy(module, prefix.prefix) if dry_run else None
    target = Prefix(module, copy.path) if copy else prefix
    try:
        out, taken_out = target.change('-uninstall', hooked_for, False)
        more, put_in = target.change('-install', wanted, False)
    finally:
        if copy:
            copy.remove()
    return out + more, taken_out or put_in


def main():
    module = AnsibleModule(
        argument_spec=dict(prefix=dict(type='str', required=True), state=dict(type='str', default='present', choices=['present', 'absent']),
                           tindraldir=dict(type='str', default='C:\\Tindral'), owner=dict(type='str'),
                           program=dict(type='str', default='ideweave')),
        supports_check_mode=True)
    params = module.params
    path = os.path.expanduser(params['prefix']) if params['prefix'].startswith('~') else params['prefix']
    if params['owner']:
        try:
            owner = pwd.getpwuid(os.stat(path).st_uid).pw_name
        except (OSError, KeyError) as problem:
            module.fail_json(msg='cannot tell who owns %s: %s' % (path, problem))
        if owner != params['owner']:
            module.fail_json(msg='the prefix %s belongs to %s, not %s' % (path, owner, params['owner']))
    prefix = Prefix(module, path)
    found = prefix.status(params['tindraldir'])
    changes, changed = converge(module, prefix, found, params['tindraldir'], module.check_mode)
    converged = params['state'] == 'present' and found['hooked'] and not found['installed']
    final = found if module.check_mode else prefix.status(params['tindraldir'])
    result = dict(changed=changed, converged=converged, changes=changes, state=final['state'],
                  product_directory=final['product_directory'])
    if module._diff:
        result['diff'] = diff_of(changes)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
